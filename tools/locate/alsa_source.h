// Capture from an ALSA PCM: interleaved signed 16-bit at the asked rate and channel count,
// without conversions that would hide what the device really gives.
#ifndef TOOLS_ALSA_SOURCE_H
#define TOOLS_ALSA_SOURCE_H

#include <alsa/asoundlib.h>

#include <string>

#include "sample_source.h"

namespace tools {

class AlsaSource : public SampleSource {
public:
    AlsaSource(const std::string &device, int sample_rate, int channels);
    ~AlsaSource() override;
    AlsaSource(const AlsaSource &) = delete;
    AlsaSource &operator=(const AlsaSource &) = delete;

    int channels() const override { return channels_; }
    int sample_rate() const override { return sample_rate_; }
    std::optional<std::int64_t> frames() const override { return std::nullopt; }
    bool can_overrun() const override { return true; }
    std::int64_t read(std::int16_t *out, std::int64_t frames) override;
    int take_overruns() override;

private:
    void configure();
    std::string offer() const;
    void recover(int error);

    std::string device_;
    int sample_rate_;
    int channels_;
    snd_pcm_t *pcm_ = nullptr;
    int overruns_ = 0;
};

} // namespace tools

#endif
