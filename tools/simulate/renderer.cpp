#include "renderer.h"

#include "fractional_delay.h"

namespace tools {

std::vector<float> render(const std::vector<float> &source, int sample_rate,
                          const std::vector<Vec3> &mics, double sound_speed,
                          const ArrivalsAt &arrivals_at) {
    const FractionalDelay interpolate;
    const std::size_t channels = mics.size();
    std::vector<float> out(source.size() * channels);
    std::vector<Arrival> arrivals;
    for (std::size_t n = 0; n < source.size(); ++n) {
        const double t = static_cast<double>(n) / sample_rate;
        arrivals_at(t, arrivals);
        for (const Arrival &a : arrivals) {
            const std::vector<double> lags = plane_wave_delays(mics, a.direction, sound_speed);
            for (std::size_t k = 0; k < channels; ++k) {
                const double heard_at = (t - a.delay_s - lags[k]) * sample_rate;
                out[n * channels + k] += static_cast<float>(a.gain * interpolate.at(source, heard_at));
            }
        }
    }
    return out;
}

} // namespace tools
