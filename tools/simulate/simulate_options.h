#ifndef TOOLS_SIMULATE_OPTIONS_H
#define TOOLS_SIMULATE_OPTIONS_H

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli.h"

namespace tools {

struct SimulateOptions {
    std::string output;
    std::string truth;
    ArrayOptions array;
    int mics = 4;
    std::string source = "noise";
    std::optional<int> sample_rate; // generated noise only; 16000 when not given
    std::optional<double> duration_s; // 5 s, or with talkers to the end of the last interval
    double angle_deg = 0.0;
    std::optional<double> angle_end_deg;
    std::optional<double> snr_db;
    std::vector<double> room; // empty: free field
    double absorption = 0.5;
    int order = 2;
    double distance_m = 1.5;
    unsigned seed = 1;
    bool float_samples = false;
    std::vector<std::string> talkers;   // SOURCE ANGLE TIMES of each talker in turn
    std::vector<double> noise_source;   // empty, or ANGLE SNR_DB
};

constexpr double kDefaultDuration_s = 5.0;
// Longer runs are surely a slip of the finger; this one already fills gigabytes.
constexpr double kLongestDuration_s = 24 * 3600;

void add_simulate_options(CLI::App &app, SimulateOptions &options);

} // namespace tools

#endif
