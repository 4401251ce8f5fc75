#include "simulate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "renderer.h"
#include "sound_file.h"
#include "source_signal.h"
#include "tool_error.h"

namespace tools {

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

std::unique_ptr<MonoSource> open_source(const SimulateOptions &o) {
    if (o.source == "noise") {
        const int rate = o.sample_rate.value_or(16000);
        return noise_source(rate, static_cast<std::int64_t>(o.duration_s * rate), o.seed);
    }
    // Resampling is not ours to do: the recording keeps the source's rate.
    if (o.sample_rate) throw ToolError("--rate applies to generated noise; the source sets the rate");
    return file_source(o.source, o.duration_s);
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

// The recording is normalised to its peak, which is known only at its end: each pass renders
// the scene again from the start rather than holding it.
class Scene {
public:
    Scene(const SimulateOptions &o, MonoSource &source, const Track &track)
        : o_(o), source_(source), track_(track),
          sound_speed_(speed_of_sound(o.array.temperature_c)),
          mics_(mic_positions(
              {parse_shape(o.array.geometry), o.array.spacing_cm / 100.0, o.mics})) {}

    // Every block in order, with sensor noise of `noise_level` when one is given.
    void render(std::optional<double> noise_level,
                const std::function<void(std::vector<float> &)> &use) const {
        Renderer renderer(source_, mics_, sound_speed_, arrivals_for(o_, track_, sound_speed_),
                          latest_arrival_for(o_, sound_speed_));
        std::optional<SensorNoise> noise;
        if (noise_level) noise.emplace(*noise_level, o_.seed);
        std::vector<float> block;
        while (renderer.next(block)) {
            if (noise) noise->add(block);
            use(block);
        }
    }

private:
    const SimulateOptions &o_;
    MonoSource &source_;
    Track track_;
    double sound_speed_;
    std::vector<Vec3> mics_;
};

std::optional<double> sensor_noise_level(const SimulateOptions &o, const Scene &scene) {
    if (!o.snr_db) return std::nullopt;
    double power = 0.0;
    std::size_t samples = 0;
    scene.render(std::nullopt, [&](std::vector<float> &block) {
        for (float v : block) power += static_cast<double>(v) * v;
        samples += block.size();
    });
    return noise_level(power / static_cast<double>(std::max<std::size_t>(samples, 1)), *o.snr_db);
}

float largest_magnitude(const Scene &scene, std::optional<double> noise) {
    float largest = 0.0f;
    scene.render(noise, [&](std::vector<float> &block) {
        for (float v : block) largest = std::max(largest, std::abs(v));
    });
    return largest;
}

void write_truth(const std::string &path, const Track &track, ArrayShape shape) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "w"), std::fclose);
    if (!file) throw ToolError("cannot write '" + path + "'");
    std::fprintf(file.get(), "time_s,angle\n");
    for (double t = 0; t <= track.duration + 1e-9; t += kTruthStep_s)
        std::fprintf(file.get(), "%.3f,%.3f\n", t, normalise_angle(shape, track.at(t)));
    // A full disk shows on the flush at the latest.
    const bool failed = std::ferror(file.get()) != 0;
    if (std::fclose(file.release()) != 0 || failed)
        throw ToolError("cannot write '" + path + "': disk full?");
}
} // namespace

void simulate(const SimulateOptions &o) {
    const std::unique_ptr<MonoSource> source = open_source(o);
    if (source->length() < 1)
        throw ToolError("--duration " + CLI::detail::to_string(o.duration_s) +
                        " s is shorter than one sample at " +
                        std::to_string(source->sample_rate()) + " Hz");
    const double duration = static_cast<double>(source->length()) / source->sample_rate();
    const Track track{o.angle_deg, o.angle_end_deg.value_or(o.angle_deg), duration};
    const SampleFormat format = o.float_samples ? SampleFormat::float32 : SampleFormat::pcm16;
    ensure_room_for(o.output, o.mics, format, source->length());
    const Scene scene(o, *source, track);

    const std::optional<double> noise = sensor_noise_level(o, scene);
    const float scale = peak_scale(largest_magnitude(scene, noise), kPeak);
    SoundWriter output(o.output, source->sample_rate(), o.mics, format);
    scene.render(noise, [&](std::vector<float> &block) {
        for (float &v : block) v *= scale;
        output.write(block);
    });
    output.close();
    if (!o.truth.empty()) write_truth(o.truth, track, parse_shape(o.array.geometry));
}

} // namespace tools
