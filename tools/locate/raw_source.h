// Raw interleaved signed 16-bit little-endian samples on standard input, as `arecord -t raw`
// and `sox -t raw` write them.
#ifndef TOOLS_RAW_SOURCE_H
#define TOOLS_RAW_SOURCE_H

#include "sample_source.h"

namespace tools {

class RawSource : public SampleSource {
public:
    RawSource(int sample_rate, int channels) : sample_rate_(sample_rate), channels_(channels) {}

    int channels() const override { return channels_; }
    int sample_rate() const override { return sample_rate_; }
    std::optional<std::int64_t> frames() const override { return std::nullopt; }
    std::int64_t read(std::int16_t *out, std::int64_t frames) override;

private:
    int sample_rate_;
    int channels_;
};

} // namespace tools

#endif
