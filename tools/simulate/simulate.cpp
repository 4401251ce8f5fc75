#include "simulate.h"

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

MonoSignal load_source(const SimulateOptions &o) {
    if (o.source == "noise") {
        const int rate = o.sample_rate.value_or(16000);
        return {rate, white_noise(static_cast<std::size_t>(o.duration_s * rate), o.seed)};
    }
    // Resampling is not ours to do: the recording keeps the source's rate.
    if (o.sample_rate) throw ToolError("--rate applies to generated noise; the source sets the rate");
    return read_mono(o.source, o.duration_s);
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

void write_truth(const std::string &path, const Track &track, ArrayShape shape) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "w"), std::fclose);
    if (!file) throw ToolError("cannot write '" + path + "'");
    std::fprintf(file.get(), "time_s,angle\n");
    for (double t = 0; t <= track.duration + 1e-9; t += kTruthStep_s)
        std::fprintf(file.get(), "%.3f,%.3f\n", t, normalise_angle(shape, track.at(t)));
}
} // namespace

void simulate(const SimulateOptions &o) {
    const ArrayGeometry geometry{parse_shape(o.array.geometry), o.array.spacing_cm / 100.0, o.mics};
    const std::vector<Vec3> mics = mic_positions(geometry);
    const MonoSignal source = load_source(o);
    const double duration = static_cast<double>(source.samples.size()) / source.sample_rate;
    const Track track{o.angle_deg, o.angle_end_deg.value_or(o.angle_deg), duration};
    const double sound_speed = speed_of_sound(o.array.temperature_c);

    std::vector<float> recording =
        render(source.samples, source.sample_rate, mics, sound_speed, arrivals_for(o, track, sound_speed));
    if (o.snr_db) add_sensor_noise(recording, *o.snr_db, o.seed);
    normalise_peak(recording, kPeak);
    write_sound(o.output, source.sample_rate, o.mics,
                o.float_samples ? SampleFormat::float32 : SampleFormat::pcm16, recording);
    if (!o.truth.empty()) write_truth(o.truth, track, geometry.shape);
}

} // namespace tools
