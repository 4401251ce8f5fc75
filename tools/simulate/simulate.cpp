#include "simulate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "meeting.h"
#include "renderer.h"
#include "sound_file.h"
#include "source_signal.h"
#include "tool_error.h"

namespace tools {

using ssl_sound::SampleFormat;
using ssl_sound::SoundWriter;
using ssl_sound::ensure_room_for;

namespace {
// Headroom, so that sensor noise on top of the peak does not clip.
constexpr double kPeak = 0.5;
constexpr double kTruthStep_s = 0.01;

struct Track {
    double start;
    double end;
    double duration;
    double at(double t) const { return start + (end - start) * t / duration; }
};

constexpr int kNoiseRate = 16000;
constexpr char kNoise[] = "noise";

SampleFormat sample_format(const SimulateOptions &o) {
    return o.float_samples ? SampleFormat::float32 : SampleFormat::pcm16;
}

// Resampling is not ours to do: the recording keeps the source's rate.
void refuse_rate_with_files(const SimulateOptions &o) {
    if (o.sample_rate) throw ToolError("--rate applies to generated noise; the source sets the rate");
}

void refuse_shorter_than_a_sample(std::int64_t length, double duration_s, int sample_rate) {
    if (length < 1)
        throw ToolError("--duration " + CLI::detail::to_string(duration_s) +
                        " s is shorter than one sample at " + std::to_string(sample_rate) + " Hz");
}

std::unique_ptr<MonoSource> open_source(const SimulateOptions &o) {
    const double duration = o.duration_s.value_or(kDefaultDuration_s);
    if (o.source == kNoise) {
        const int rate = o.sample_rate.value_or(kNoiseRate);
        return noise_source(rate, static_cast<std::int64_t>(duration * rate), o.seed);
    }
    refuse_rate_with_files(o);
    return file_source(o.source, duration);
}

ArrivalsAt arrivals_for(const SimulateOptions &o, const Track &track, double sound_speed) {
    if (o.room.empty()) {
        return [track](double t, std::vector<Arrival> &out) {
            out.assign(1, Arrival{1.0, 0.0, direction_of(track.at(t))});
        };
    }
    const Room room{{o.room[0], o.room[1], o.room[2]}, o.absorption, o.order};
    const Vec3 centre = array_centre_in(room);
    // The source walks an arc around the array, which can leave the room between its ends.
    for (int step = 0; step <= 100; ++step) {
        const Vec3 s = centre + o.distance_m * direction_of(track.at(track.duration * step / 100));
        if (s.x <= 0 || s.y <= 0 || s.x >= room.size.x || s.y >= room.size.y)
            throw ToolError("a source " + CLI::detail::to_string(o.distance_m) +
                            " m away leaves the room");
    }
    // The source moves slowly: its images need refreshing only now and then.
    auto last = std::make_shared<double>(-1.0);
    auto cached = std::make_shared<std::vector<Arrival>>();
    return [=](double t, std::vector<Arrival> &out) {
        if (*last < 0 || t - *last >= 0.002) {
            room_arrivals(room, centre + o.distance_m * direction_of(track.at(t)), centre,
                          sound_speed, *cached);
            *last = t;
        }
        out = *cached;
    };
}

double latest_arrival_for(const SimulateOptions &o, double sound_speed) {
    if (o.room.empty()) return 0.0;
    const Room room{{o.room[0], o.room[1], o.room[2]}, o.absorption, o.order};
    return latest_arrival_s(room, sound_speed);
}

// One sound in the scene: a source heard along its track at a gain.
struct Voice {
    MonoSource *source;
    Track track;
    double gain = 1.0;
};

// The recording is normalised to its peak, which is known only at its end: each pass renders
// the scene again from the start rather than holding it.
class Scene {
public:
    Scene(const SimulateOptions &o, std::vector<Voice> voices)
        : o_(o), voices_(std::move(voices)), sound_speed_(speed_of_sound(o.array.temperature_c)),
          mics_(mic_positions(
              {parse_shape(o.array.geometry), o.array.spacing_cm / 100.0, o.mics})) {}

    // Every block in order, with sensor noise of `noise_level` when one is given.
    void render(std::optional<double> noise_level,
                const std::function<void(std::vector<float> &)> &use) const {
        std::vector<Renderer> renderers;
        renderers.reserve(voices_.size());
        for (const Voice &v : voices_)
            renderers.emplace_back(*v.source, mics_, sound_speed_,
                                   arrivals_for(o_, v.track, sound_speed_),
                                   latest_arrival_for(o_, sound_speed_));
        std::optional<SensorNoise> noise;
        if (noise_level) noise.emplace(*noise_level, o_.seed);
        std::vector<float> block, voice;
        while (renderers.front().next(block)) {
            const auto first_gain = static_cast<float>(voices_.front().gain);
            for (float &v : block) v *= first_gain;
            for (std::size_t i = 1; i < renderers.size(); ++i) {
                renderers[i].next(voice);
                const auto gain = static_cast<float>(voices_[i].gain);
                for (std::size_t k = 0; k < block.size(); ++k) block[k] += gain * voice[k];
            }
            if (noise) noise->add(block);
            use(block);
        }
    }

    std::size_t channels() const { return mics_.size(); }

private:
    const SimulateOptions &o_;
    std::vector<Voice> voices_;
    double sound_speed_;
    std::vector<Vec3> mics_;
};

// Mean power per sample, over the frames `within` holds or over all when it holds none.
double mean_power(const Scene &scene, const std::vector<SampleSpan> &within = {}) {
    const std::size_t channels = scene.channels();
    double power = 0.0;
    std::int64_t samples = 0, frame = 0;
    std::size_t span = 0;
    scene.render(std::nullopt, [&](std::vector<float> &block) {
        for (std::size_t i = 0; i < block.size(); i += channels, ++frame) {
            while (span < within.size() && within[span].end <= frame) ++span;
            const bool counted =
                within.empty() || (span < within.size() && within[span].first <= frame);
            if (!counted) continue;
            for (std::size_t k = i; k < i + channels; ++k)
                power += static_cast<double>(block[k]) * block[k];
            samples += static_cast<std::int64_t>(channels);
        }
    });
    return power / static_cast<double>(std::max<std::int64_t>(samples, 1));
}

std::optional<double> sensor_noise_level(const SimulateOptions &o, const Scene &scene) {
    if (!o.snr_db) return std::nullopt;
    return noise_level(mean_power(scene), *o.snr_db);
}

float largest_magnitude(const Scene &scene, std::optional<double> noise) {
    float largest = 0.0f;
    scene.render(noise, [&](std::vector<float> &block) {
        for (float v : block) largest = std::max(largest, std::abs(v));
    });
    return largest;
}

void write_text(const std::string &path, const std::function<void(std::FILE *)> &contents) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "w"), std::fclose);
    if (!file) throw ToolError("cannot write '" + path + "'");
    contents(file.get());
    // A full disk shows on the flush at the latest.
    const bool failed = std::ferror(file.get()) != 0;
    if (std::fclose(file.release()) != 0 || failed)
        throw ToolError("cannot write '" + path + "': disk full?");
}

void write_truth(const std::string &path, const Track &track, ArrayShape shape) {
    write_text(path, [&](std::FILE *file) {
        std::fprintf(file, "time_s,angle\n");
        for (double t = 0; t <= track.duration + 1e-9; t += kTruthStep_s)
            std::fprintf(file, "%.3f,%.3f\n", t, normalise_angle(shape, track.at(t)));
    });
}

void write_meeting_truth(const std::string &path, const std::vector<Talker> &talkers,
                         ArrayShape shape) {
    struct Row {
        std::size_t talker;
        Interval interval;
    };
    std::vector<Row> rows;
    for (std::size_t t = 0; t < talkers.size(); ++t)
        for (const Interval &i : talkers[t].times) rows.push_back({t, i});
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return a.interval.from_s < b.interval.from_s;
    });
    write_text(path, [&](std::FILE *file) {
        std::fprintf(file, "talker,start_s,end_s,angle\n");
        for (const Row &r : rows)
            std::fprintf(file, "%zu,%.3f,%.3f,%.3f\n", r.talker + 1, r.interval.from_s,
                         r.interval.to_s, normalise_angle(shape, talkers[r.talker].angle_deg));
    });
}

// Renders the scene's passes and writes the recording.
void record(const SimulateOptions &o, const Scene &scene, int sample_rate) {
    const std::optional<double> noise = sensor_noise_level(o, scene);
    const float scale = peak_scale(largest_magnitude(scene, noise), kPeak);
    SoundWriter output(o.output, sample_rate, o.mics, sample_format(o));
    scene.render(noise, [&](std::vector<float> &block) {
        for (float &v : block) v *= scale;
        output.write(block);
    });
    output.close();
}

void simulate_one_source(const SimulateOptions &o) {
    const std::unique_ptr<MonoSource> source = open_source(o);
    refuse_shorter_than_a_sample(source->length(), o.duration_s.value_or(kDefaultDuration_s),
                                 source->sample_rate());
    const double duration = static_cast<double>(source->length()) / source->sample_rate();
    const Track track{o.angle_deg, o.angle_end_deg.value_or(o.angle_deg), duration};
    ensure_room_for(o.output, o.mics, sample_format(o), source->length());
    record(o, Scene(o, {{source.get(), track}}), source->sample_rate());
    if (!o.truth.empty()) write_truth(o.truth, track, parse_shape(o.array.geometry));
}

double meeting_duration_s(const SimulateOptions &o, const std::vector<Talker> &talkers) {
    if (talkers.empty()) return o.duration_s.value_or(kDefaultDuration_s);
    const double end = meeting_end_s(talkers);
    if (end > kLongestDuration_s)
        throw ToolError("the last talker's interval ends at " + CLI::detail::to_string(end) +
                        " s, after the longest recording, " +
                        CLI::detail::to_string(kLongestDuration_s) + " s");
    if (o.duration_s && *o.duration_s < end)
        throw ToolError("--duration " + CLI::detail::to_string(*o.duration_s) +
                        " s ends before the last talker's interval, at " +
                        CLI::detail::to_string(end) + " s");
    return o.duration_s.value_or(end);
}

// The talkers' recordings as they are, files first opened to learn the meeting's rate.
std::vector<std::unique_ptr<MonoSource>> open_recordings(const SimulateOptions &o,
                                                         const std::vector<Talker> &talkers,
                                                         double duration_s, int &sample_rate) {
    std::vector<std::unique_ptr<MonoSource>> recordings(talkers.size());
    const Talker *first_file = nullptr;
    for (std::size_t t = 0; t < talkers.size(); ++t) {
        if (talkers[t].source == kNoise) continue;
        refuse_rate_with_files(o);
        recordings[t] = file_source(talkers[t].source, duration_s);
        const int rate = recordings[t]->sample_rate();
        if (first_file && rate != sample_rate)
            throw ToolError("the talkers' recordings differ in rate: '" + first_file->source +
                            "' has " + std::to_string(sample_rate) + " Hz, '" + talkers[t].source +
                            "' " + std::to_string(rate) + " Hz");
        if (!first_file) first_file = &talkers[t];
        sample_rate = rate;
    }
    if (!first_file) sample_rate = o.sample_rate.value_or(kNoiseRate);
    return recordings;
}

// Every frame in which at least one talker talks.
std::vector<SampleSpan> talking_frames(const std::vector<Talker> &talkers, int sample_rate) {
    std::vector<SampleSpan> spans;
    for (const Talker &t : talkers) {
        const std::vector<SampleSpan> own = sample_spans(t.times, sample_rate);
        spans.insert(spans.end(), own.begin(), own.end());
    }
    std::sort(spans.begin(), spans.end(),
              [](const SampleSpan &a, const SampleSpan &b) { return a.first < b.first; });
    std::vector<SampleSpan> merged;
    for (const SampleSpan &s : spans) {
        if (!merged.empty() && s.first <= merged.back().end)
            merged.back().end = std::max(merged.back().end, s.end);
        else
            merged.push_back(s);
    }
    return merged;
}

// The gain that puts the noise source `snr_db` below the talkers while they talk.
double noise_source_gain(const SimulateOptions &o, const std::vector<Voice> &talkers,
                         const std::vector<SampleSpan> &talking, const Voice &noise,
                         double snr_db) {
    if (talkers.empty() || talking.empty()) return 1.0;
    const double talk_power = mean_power(Scene(o, talkers), talking);
    return noise_level(talk_power / mean_power(Scene(o, {noise})), snr_db);
}

void simulate_meeting(const SimulateOptions &o) {
    const std::vector<Talker> talkers = parse_talkers(o.talkers);
    const double duration = meeting_duration_s(o, talkers);
    int rate = 0;
    std::vector<std::unique_ptr<MonoSource>> sources = open_recordings(o, talkers, duration, rate);
    const auto length = static_cast<std::int64_t>(std::llround(duration * rate));
    refuse_shorter_than_a_sample(length, duration, rate);
    ensure_room_for(o.output, o.mics, sample_format(o), length);

    std::vector<Voice> voices;
    for (std::size_t t = 0; t < talkers.size(); ++t) {
        std::unique_ptr<MonoSource> &recording = sources[t];
        const unsigned own_stream = static_cast<unsigned>(t) + 1;
        if (!recording) recording = noise_source(rate, length, derived_seed(o.seed, own_stream));
        recording = talking_in(std::move(recording), sample_spans(talkers[t].times, rate), length);
        const double angle = talkers[t].angle_deg;
        voices.push_back({recording.get(), {angle, angle, duration}});
    }
    if (!o.noise_source.empty()) {
        sources.push_back(noise_source(rate, length, derived_seed(o.seed, 0)));
        const double angle = o.noise_source[0];
        Voice noise{sources.back().get(), {angle, angle, duration}};
        noise.gain = noise_source_gain(o, voices, talking_frames(talkers, rate), noise,
                                       o.noise_source[1]);
        voices.push_back(noise);
    }
    record(o, Scene(o, voices), rate);
    if (!o.truth.empty()) write_meeting_truth(o.truth, talkers, parse_shape(o.array.geometry));
}
} // namespace

void simulate(const SimulateOptions &o) {
    if (o.talkers.empty() && o.noise_source.empty())
        simulate_one_source(o);
    else
        simulate_meeting(o);
}

} // namespace tools
