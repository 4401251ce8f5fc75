// Where the samples come from: a finished file, standard input or a capture device. Every kind
// delivers interleaved signed 16-bit frames the same way, so the run does not care which it has.
#ifndef TOOLS_SAMPLE_SOURCE_H
#define TOOLS_SAMPLE_SOURCE_H

#include <cstdint>
#include <memory>
#include <optional>

#include "locate_options.h"

namespace tools {

class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual int channels() const = 0;
    virtual int sample_rate() const = 0;
    // Frames per channel when the length is known before the run: finished files only, and
    // not all of them.
    virtual std::optional<std::int64_t> frames() const = 0;
    // Rows from a live input carry the time they were decided.
    virtual bool live() const { return !frames(); }
    // Capture devices can lose samples to overruns; the other kinds cannot.
    virtual bool can_overrun() const { return false; }

    // Reads `frames` interleaved frames; fewer only at the end of the input or once a stop has
    // been asked for.
    virtual std::int64_t read(std::int16_t *out, std::int64_t frames) = 0;
    // Overruns recovered from since the last call.
    virtual int take_overruns() { return 0; }
};

// The input the options name, opened and checked.
std::unique_ptr<SampleSource> open_source(const LocateOptions &options);

} // namespace tools

#endif
