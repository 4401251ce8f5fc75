#include "source_signal.h"

#include <cmath>
#include <vector>

#include "sound_file.h"
#include "tool_error.h"

namespace tools {

void WhiteNoise::fill(float *out, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) out[i] = normal_(random_);
}

namespace {
class NoiseSource : public MonoSource {
public:
    NoiseSource(int sample_rate, std::int64_t samples, unsigned seed)
        : sample_rate_(sample_rate), length_(samples), seed_(seed), noise_(seed) {}
    int sample_rate() const override { return sample_rate_; }
    std::int64_t length() const override { return length_; }
    void restart() override { noise_ = WhiteNoise(seed_); }
    void read(float *out, std::size_t samples) override { noise_.fill(out, samples); }

private:
    int sample_rate_;
    std::int64_t length_;
    unsigned seed_;
    WhiteNoise noise_;
};

class FileSource : public MonoSource {
public:
    FileSource(const std::string &path, double max_seconds) : path_(path), reader_(path) {
        if (reader_.channels() != 1)
            throw ToolError("the source '" + path + "' has " + std::to_string(reader_.channels()) +
                            " channels; it must be mono");
        const double wanted = max_seconds * reader_.sample_rate();
        const std::int64_t frames = reader_.frames() ? *reader_.frames() : frames_up_to(wanted);
        if (frames <= 0) throw ToolError("the source '" + path + "' is empty");
        length_ = wanted < static_cast<double>(frames) ? static_cast<std::int64_t>(wanted) : frames;
    }
    int sample_rate() const override { return reader_.sample_rate(); }
    std::int64_t length() const override { return length_; }
    void restart() override { reader_.rewind(); }
    void read(float *out, std::size_t samples) override {
        const auto wanted = static_cast<std::int64_t>(samples);
        if (reader_.read(out, wanted) != wanted)
            throw ToolError("the source '" + path_ + "' ended early");
    }

private:
    // A header that leaves the length unknown: count by reading, up to what the scene needs.
    std::int64_t frames_up_to(double wanted) {
        constexpr std::int64_t kBlock = 65536;
        std::vector<float> block(kBlock);
        std::int64_t frames = 0;
        for (std::int64_t got = kBlock; got == kBlock && static_cast<double>(frames) < wanted; frames += got)
            got = reader_.read(block.data(), kBlock);
        reader_.rewind();
        return frames;
    }

    std::string path_;
    ssl_sound::SoundReader reader_;
    std::int64_t length_ = 0;
};
} // namespace

std::unique_ptr<MonoSource> noise_source(int sample_rate, std::int64_t samples, unsigned seed) {
    return std::make_unique<NoiseSource>(sample_rate, samples, seed);
}

std::unique_ptr<MonoSource> file_source(const std::string &path, double max_seconds) {
    return std::make_unique<FileSource>(path, max_seconds);
}

double noise_level(double power, double snr_db) {
    return std::sqrt(power / std::pow(10.0, snr_db / 10.0));
}

// A seed of its own, so the noise does not repeat the source.
SensorNoise::SensorNoise(double level, unsigned seed) : level_(level), noise_(seed ^ 0x5eedu) {}

void SensorNoise::add(std::vector<float> &interleaved) {
    draw_.resize(interleaved.size());
    noise_.fill(draw_.data(), draw_.size());
    for (std::size_t i = 0; i < interleaved.size(); ++i)
        interleaved[i] += static_cast<float>(level_ * draw_[i]);
}

float peak_scale(float largest, double peak) {
    return largest == 0.0f ? 1.0f : static_cast<float>(peak / largest);
}

} // namespace tools
