#ifndef TOOLS_LOCATE_OPTIONS_H
#define TOOLS_LOCATE_OPTIONS_H

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "stream_settings.h"

namespace tools {

// The file name that stands for standard input.
constexpr const char *kStdinName = "-";

struct LocateOptions {
    std::string file;
    std::string device;
    int rate = 16000;
    int channels = 4;
    int raw_rate = 0;
    int raw_channels = 0;
    std::optional<double> seconds;
    ArrayOptions array;
    int gate_db = -80;
    int frames = 32;
    std::string mode = "direction";
    std::string format = "table";
    bool track = false;
    double forget_s = ssl_stream::StreamSettings{}.forget_s;
    int max_talkers = ssl_stream::StreamSettings{}.max_talkers;
    std::string serve;
    std::vector<std::string> serve_hosts;
    std::string serve_token_file;
};

void add_locate_options(CLI::App &app, LocateOptions &options);

// What the parser cannot see: the options that only make sense together.
void check_input_choice(const LocateOptions &options);

} // namespace tools

#endif
