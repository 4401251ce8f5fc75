#include "fractional_delay.h"

#include <cmath>

namespace tools {

namespace {
constexpr double kPi = 3.14159265358979323846;

double windowed_sinc(double u, int half_width) {
    if (std::abs(u) >= half_width) return 0.0;
    const double sinc = u == 0.0 ? 1.0 : std::sin(kPi * u) / (kPi * u);
    // Blackman: side lobes low enough that the interpolation error stays far below 16-bit noise.
    const double phase = kPi * (u / half_width + 1.0);
    return sinc * (0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase));
}
} // namespace

FractionalDelay::FractionalDelay() : table_(static_cast<std::size_t>((kSteps + 1) * 2 * kHalfWidth)) {
    for (int q = 0; q <= kSteps; ++q) {
        const double f = static_cast<double>(q) / kSteps;
        for (int m = -kHalfWidth + 1; m <= kHalfWidth; ++m)
            table_[static_cast<std::size_t>(q * 2 * kHalfWidth + m + kHalfWidth - 1)] =
                static_cast<float>(windowed_sinc(f - m, kHalfWidth));
    }
}

double FractionalDelay::at(SignalSpan signal, double x) const {
    // Compared before any conversion: a far-off or undefined position only reads silence.
    if (!(x >= static_cast<double>(signal.first - kHalfWidth) &&
          x < static_cast<double>(signal.end + kHalfWidth)))
        return 0.0;
    const double base = std::floor(x);
    const auto i0 = static_cast<std::int64_t>(base);
    const long q = std::lround((x - base) * kSteps);
    const float *taps = &table_[static_cast<std::size_t>(q * 2 * kHalfWidth)];
    double sum = 0.0;
    for (int m = -kHalfWidth + 1; m <= kHalfWidth; ++m) {
        const std::int64_t n = i0 + m;
        if (n >= signal.first && n < signal.end)
            sum += static_cast<double>(signal.samples[n - signal.first]) * taps[m + kHalfWidth - 1];
    }
    return sum;
}

} // namespace tools
