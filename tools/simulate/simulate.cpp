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
        const auto samples = static_cast<std::size_t>(o.duration_s * o.sample_rate);
        return {o.sample_rate, white_noise(samples, o.seed)};
    }
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
    for (double a : {track.start, track.end}) {
        const Vec3 s = centre + o.distance_m * direction_of(a);
        if (s.x <= 0 || s.y <= 0 || s.x >= room.size.x || s.y >= room.size.y)
            throw ToolError("a source " + std::to_string(o.distance_m) +
                            " m away lies outside the room");
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
