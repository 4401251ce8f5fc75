#include "locate_options.h"

#include "tool_error.h"

namespace tools {

void add_locate_options(CLI::App &app, LocateOptions &options) {
    app.description("Finds where the sound in a 2- or 4-channel recording, stream or capture device "
                    "came from, one row per decision window (per frame with --mode delays).");
    auto *file = app.add_option("FILE", options.file,
                                "Recording (WAV, FLAC, ...); - reads standard input");
    auto *device = app.add_option("--device", options.device,
                                  "Capture from this ALSA PCM (hw:1,0, default, ...)")
                       ->excludes(file);
    app.add_option("--rate", options.rate, "Sample rate of --device")
        ->check(CLI::PositiveNumber)
        ->needs(device)
        ->capture_default_str();
    app.add_option("--channels", options.channels, "Channels of --device")
        ->check(CLI::IsMember({2, 4}))
        ->needs(device)
        ->capture_default_str();
    auto *raw_rate = app.add_option("--raw-rate", options.raw_rate,
                                    "Standard input is raw signed 16-bit samples at this rate")
                         ->check(CLI::PositiveNumber)
                         ->excludes(device);
    app.add_option("--raw-channels", options.raw_channels, "Channels of the raw samples")
        ->check(CLI::IsMember({2, 4}))
        ->excludes(device)
        ->needs(raw_rate);
    raw_rate->needs("--raw-channels");
    app.add_option("--seconds", options.seconds, "Stop after this many seconds of audio")
        ->check(positive_number());
    add_array_options(app, options.array);
    app.add_option("--gate", options.gate_db, "Level gate in dB relative to full scale")
        ->check(CLI::Range(ssl_stream::kGateDb.lowest, ssl_stream::kGateDb.highest))
        ->capture_default_str();
    app.add_option("--frames", options.frames, "Frames of 128 samples per decision")
        ->check(CLI::Range(ssl_stream::kFramesPerDecision.lowest, ssl_stream::kFramesPerDecision.highest))
        ->capture_default_str();
    app.add_option("--mode", options.mode, "direction: angles; delays: per-frame delays")
        ->check(CLI::IsMember({"direction", "delays"}))
        ->capture_default_str();
    app.add_option("--format", options.format, "Output form; jsonl is one object per line")
        ->check(CLI::IsMember({"table", "csv", "json", "jsonl"}))
        ->capture_default_str();
    auto *track = app.add_flag("--track", options.track,
                               "Follow the talkers: each row also lists those known, their angles and "
                               "who is speaking");
    app.add_option("--forget", options.forget_s, "Seconds a talker not heard is kept")
        ->check(number_between(ssl_stream::kForgetS.lowest, ssl_stream::kForgetS.highest))
        ->needs(track)
        ->capture_default_str();
    app.add_option("--max-talkers", options.max_talkers, "Talkers known at once")
        ->check(CLI::Range(ssl_stream::kMaxTalkers.lowest, ssl_stream::kMaxTalkers.highest))
        ->needs(track)
        ->capture_default_str();
    auto *serve = app.add_option("--serve", options.serve,
                                 "Also show the directions live in a browser at [ADDR:]PORT (ADDR "
                                 "127.0.0.1 unless given; 0.0.0.0 for every network, with a token)");
    app.add_option("--serve-host", options.serve_hosts,
                   "A host name the live view also answers to (a proxy's, the device's DNS name); "
                   "repeatable")
        ->needs(serve);
    app.add_option("--serve-token-file", options.serve_token_file,
                   "Beyond loopback, the live view's token is this file's first line rather than "
                   "a new random one")
        ->check(CLI::ExistingFile)
        ->needs(serve);
}

void check_input_choice(const LocateOptions &options) {
    if (options.file.empty() && options.device.empty())
        throw ToolError("give a FILE, - for standard input, or --device");
    if (options.raw_rate > 0 && options.file != kStdinName)
        throw ToolError("--raw-rate and --raw-channels describe standard input: give - as the FILE");
    if (!options.serve.empty() && options.mode != "direction")
        throw ToolError("--serve shows directions: it needs --mode direction");
}

} // namespace tools
