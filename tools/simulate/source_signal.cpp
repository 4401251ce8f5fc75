#include "source_signal.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "sound_file.h"
#include "tool_error.h"

namespace tools {

MonoSignal read_mono(const std::string &path, double max_seconds) {
    SoundReader reader(path);
    if (reader.channels() != 1)
        throw ToolError("the source '" + path + "' has " + std::to_string(reader.channels()) +
                        " channels; it must be mono");
    const auto wanted = static_cast<std::int64_t>(max_seconds * reader.sample_rate());
    MonoSignal signal{reader.sample_rate(),
                      std::vector<float>(static_cast<std::size_t>(std::min(wanted, reader.frames())))};
    const std::int64_t got = reader.read(signal.samples.data(), static_cast<std::int64_t>(signal.samples.size()));
    signal.samples.resize(static_cast<std::size_t>(got));
    if (signal.samples.empty()) throw ToolError("the source '" + path + "' is empty");
    return signal;
}

std::vector<float> white_noise(std::size_t samples, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal;
    std::vector<float> noise(samples);
    for (float &v : noise) v = normal(random);
    return noise;
}

void add_sensor_noise(std::vector<float> &interleaved, double snr_db, unsigned seed) {
    double power = 0.0;
    for (float v : interleaved) power += static_cast<double>(v) * v;
    power /= static_cast<double>(std::max<std::size_t>(interleaved.size(), 1));
    const double level = std::sqrt(power / std::pow(10.0, snr_db / 10.0));
    // A seed of its own, so the noise does not repeat the source.
    const std::vector<float> noise = white_noise(interleaved.size(), seed ^ 0x5eedu);
    for (std::size_t i = 0; i < interleaved.size(); ++i)
        interleaved[i] += static_cast<float>(level * noise[i]);
}

void normalise_peak(std::vector<float> &samples, double peak) {
    float largest = 0.0f;
    for (float v : samples) largest = std::max(largest, std::abs(v));
    if (largest == 0.0f) return;
    const auto scale = static_cast<float>(peak / largest);
    for (float &v : samples) v *= scale;
}

} // namespace tools
