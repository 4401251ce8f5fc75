#ifndef TOOLS_SOURCE_SIGNAL_H
#define TOOLS_SOURCE_SIGNAL_H

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tools {

// White Gaussian noise of unit variance, drawn block by block as one unbroken sequence.
class WhiteNoise {
public:
    explicit WhiteNoise(unsigned seed) : random_(seed) {}
    void fill(float *out, std::size_t samples);

private:
    std::mt19937 random_;
    std::normal_distribution<float> normal_;
};

// A mono source, read from its start in blocks, as often as a render needs to go over it.
class MonoSource {
public:
    virtual ~MonoSource() = default;
    virtual int sample_rate() const = 0;
    virtual std::int64_t length() const = 0;
    virtual void restart() = 0;
    // Fills `out` with the next samples; past the end it is not called.
    virtual void read(float *out, std::size_t samples) = 0;
};

// `samples` of white noise drawn from `seed`.
std::unique_ptr<MonoSource> noise_source(int sample_rate, std::int64_t samples, unsigned seed);
// At most `max_seconds` of a mono file.
std::unique_ptr<MonoSource> file_source(const std::string &path, double max_seconds);

// The standard deviation of sensor noise `snr_db` below a signal of mean power `power`.
double noise_level(double power, double snr_db);

// Independent white noise on every sample of an interleaved signal, block after block.
class SensorNoise {
public:
    SensorNoise(double level, unsigned seed);
    void add(std::vector<float> &interleaved);

private:
    double level_;
    WhiteNoise noise_;
    std::vector<float> draw_;
};

// The factor that brings the largest magnitude `largest` to `peak`; 1 for silence.
float peak_scale(float largest, double peak);

} // namespace tools

#endif
