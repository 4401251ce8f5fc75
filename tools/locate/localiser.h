// Drives the shared stream over an input, frame by frame, and hands each row to a writer.
#ifndef TOOLS_LOCALISER_H
#define TOOLS_LOCALISER_H

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "locate_options.h"
#include "report.h"
#include "sample_source.h"
#include "window_stream.h"

namespace tools {

// What the caller hears of a run as it goes; times are seconds of audio done.
struct RunHooks {
    std::function<void()> before_row;
    std::function<void(double)> after_row;
    std::function<void(double, int total)> on_overrun;
};

// How far a run got.
struct RunTally {
    std::int64_t samples = 0;
    std::int64_t rows = 0;
    int overruns = 0;
};

// The stream's settings for the options and the input.
ssl_stream::StreamSettings stream_settings(const LocateOptions &options, int channels, int sample_rate);

class Localiser {
public:
    Localiser(const LocateOptions &options, int channels, int sample_rate);

    int pairs() const { return stream_.pairs(); }
    // Samples per channel that one output row covers.
    std::int64_t samples_per_row() const { return stream_.samples_per_row(); }

    // Runs every whole row's worth of the input, up to `max_samples` per channel, until the
    // input ends or a stop is asked for. Each frame runs as soon as it is read, so a row is
    // written the moment its last frame is in.
    RunTally run(SampleSource &input, ReportWriter &writer, std::int64_t max_samples,
                 const RunHooks &hooks);

private:
    ssl_stream::WindowStream stream_;
    std::vector<std::int16_t> frame_;
};

} // namespace tools

#endif
