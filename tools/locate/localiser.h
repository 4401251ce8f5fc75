// Drives the library over a recording, frame by frame, and hands each result to a writer.
#ifndef TOOLS_LOCALISER_H
#define TOOLS_LOCALISER_H

#include <cstdint>
#include <functional>
#include <vector>

#include "locate_options.h"
#include "report.h"
#include "sound_file.h"
#include "ssl_library.h"

namespace tools {

constexpr int kFrameSamples = 128;

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

    // Runs every whole row's worth of the recording; `on_progress` gets the seconds done.
    void run(SoundReader &input, ReportWriter &writer,
             const std::function<void(double)> &on_progress);

private:
    bool read_row(SoundReader &input);
    void emit(std::int64_t start_sample, ReportWriter &writer);
    void check(std::int32_t code, const char *call);

    SslLibrary library_;
    int channels_;
    int sample_rate_;
    bool delays_mode_;
    int frames_per_row_;
    std::vector<std::uint32_t> memory_;
    SSL_HANDLE handle_ = nullptr;
    std::vector<std::int16_t> row_samples_;
    std::vector<std::int32_t> delays_;
};

} // namespace tools

#endif
