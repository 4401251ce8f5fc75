// Drives the library over an input, frame by frame, and hands each result to a writer.
#ifndef TOOLS_LOCALISER_H
#define TOOLS_LOCALISER_H

#include <cstdint>
#include <functional>
#include <vector>

#include "locate_options.h"
#include "report.h"
#include "sample_source.h"
#include "ssl_library.h"

namespace tools {

constexpr int kFrameSamples = 128;

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

// Frames of kFrameSamples that one output row covers.
int frames_per_row(const LocateOptions &options);

class Localiser {
public:
    Localiser(const LocateOptions &options, int channels, int sample_rate);
    ~Localiser();
    Localiser(const Localiser &) = delete;
    Localiser &operator=(const Localiser &) = delete;

    int pairs() const { return channels_ - 1; }
    // Samples per channel that one output row covers.
    std::int64_t samples_per_row() const;

    // Runs every whole row's worth of the input, up to `max_samples` per channel, until the
    // input ends or a stop is asked for. Each frame runs as soon as it is read, so a row is
    // written the moment its last frame is in.
    RunTally run(SampleSource &input, ReportWriter &writer, std::int64_t max_samples,
                 const RunHooks &hooks);

private:
    void run_frame();
    void emit(std::int64_t start_sample, const std::optional<LiveStamp> &live, ReportWriter &writer);
    void check(std::int32_t code, const char *call);

    SslLibrary library_;
    int channels_;
    int sample_rate_;
    bool delays_mode_;
    int frames_per_row_;
    std::vector<std::uint32_t> memory_;
    SSL_HANDLE handle_ = nullptr;
    std::vector<std::int16_t> frame_;
    std::vector<std::int32_t> delays_;
};

} // namespace tools

#endif
