#include "simulate_options.h"

namespace tools {

namespace {
// Beyond these the noise swamps the signal's every bit, or vanishes below any sample's.
constexpr double kLowestSnr_db = -100;
constexpr double kHighestSnr_db = 200;
} // namespace

void add_simulate_options(CLI::App &app, SimulateOptions &options) {
    app.description("Renders what a microphone array hears from one far-off source, and the "
                    "source's true direction over time.");
    app.add_option("-o,--output", options.output, "Recording to write: WAV, or FLAC by its name")
        ->required();
    app.add_flag("--float", options.float_samples, "32-bit floating-point samples (WAV only)");
    app.add_option("--truth", options.truth, "CSV of time_s,angle to write");
    add_array_options(app, options.array);
    app.add_option("--mics", options.mics, "Microphones")
        ->check(CLI::IsMember({2, 4}))
        ->capture_default_str();
    CLI::Option *source =
        app.add_option("--source", options.source, "Mono recording, or 'noise' for white noise")
            ->capture_default_str();
    app.add_option("--rate", options.sample_rate, "Sample rate of generated noise in Hz [16000]")
        ->check(CLI::Range(1000, 192000));
    app.add_option("--duration", options.duration_s,
                   "Seconds to render (at most the source's) [5; with talkers to the last's end]")
        ->check(positive_number_up_to(kLongestDuration_s));
    CLI::Option *angle =
        app.add_option("--angle", options.angle_deg,
                       "Direction in degrees: 0 broadside (+y), +90 towards microphone 0")
            ->check(finite_number())
            ->capture_default_str();
    CLI::Option *angle_end =
        app.add_option("--angle-end", options.angle_end_deg,
                       "Direction at the end; the source moves evenly from --angle to it")
            ->check(finite_number());
    // A meeting's talkers and noise take the place of the one source and its direction.
    app.add_option("--talker", options.talkers,
                   "A talker: mono recording or 'noise', angle, FROM-TO[,FROM-TO...] seconds")
        ->type_name("SOURCE ANGLE TIMES")
        ->expected(3)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->excludes(source)
        ->excludes(angle)
        ->excludes(angle_end);
    app.add_option("--noise-source", options.noise_source,
                   "White noise from ANGLE throughout, SNR_DB below the talkers")
        ->type_name("ANGLE SNR_DB")
        ->expected(2)
        ->check(CLI::Validator(finite_number()).application_index(0))
        ->check(number_between(kLowestSnr_db, kHighestSnr_db).application_index(1))
        ->excludes(source)
        ->excludes(angle)
        ->excludes(angle_end);
    app.add_option("--snr", options.snr_db, "Sensor noise: signal-to-noise ratio in dB")
        ->check(number_between(kLowestSnr_db, kHighestSnr_db));
    app.add_option("--room", options.room, "Shoebox room L W H in metres: adds reverberation")
        ->expected(3)
        ->check(positive_number());
    app.add_option("--absorption", options.absorption, "Energy fraction each wall absorbs")
        ->check(number_between(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--order", options.order, "Most wall reflections on one path")
        ->check(CLI::Range(0, 10))
        ->capture_default_str();
    app.add_option("--distance", options.distance_m, "Source distance in the room, metres")
        ->check(positive_number())
        ->capture_default_str();
    app.add_option("--seed", options.seed, "Seed of generated noise")->capture_default_str();
}

} // namespace tools
