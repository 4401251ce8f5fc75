#include "locate_options.h"

namespace tools {

void add_locate_options(CLI::App &app, LocateOptions &options) {
    app.description("Finds where the sound in a 2- or 4-channel recording came from, one row per "
                    "decision window (per frame with --mode delays).");
    app.add_option("FILE", options.file, "Recording (WAV, FLAC, ...)")->required();
    add_array_options(app, options.array);
    app.add_option("--gate", options.gate_db, "Level gate in dB relative to full scale")
        ->check(CLI::Range(-80, 0))
        ->capture_default_str();
    app.add_option("--frames", options.frames, "Frames of 128 samples per decision")
        ->check(CLI::Range(1, 1 << 20))
        ->capture_default_str();
    app.add_option("--mode", options.mode, "direction: angles; delays: per-frame delays")
        ->check(CLI::IsMember({"direction", "delays"}))
        ->capture_default_str();
    app.add_option("--format", options.format, "Output form")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->capture_default_str();
}

} // namespace tools
