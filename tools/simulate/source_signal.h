#ifndef TOOLS_SOURCE_SIGNAL_H
#define TOOLS_SOURCE_SIGNAL_H

#include <string>
#include <vector>

namespace tools {

struct MonoSignal {
    int sample_rate;
    std::vector<float> samples;
};

// At most `max_seconds` of a mono file.
MonoSignal read_mono(const std::string &path, double max_seconds);

// White Gaussian noise of unit variance.
std::vector<float> white_noise(std::size_t samples, unsigned seed);

// Independent white noise on every channel of an interleaved signal, at `snr_db` below its power.
void add_sensor_noise(std::vector<float> &interleaved, double snr_db, unsigned seed);

// Scales so that the largest magnitude is `peak`.
void normalise_peak(std::vector<float> &samples, double peak);

} // namespace tools

#endif
