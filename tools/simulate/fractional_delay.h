// Reads a signal between its samples: a windowed-sinc interpolator from a precomputed table.
#ifndef TOOLS_FRACTIONAL_DELAY_H
#define TOOLS_FRACTIONAL_DELAY_H

#include <vector>

namespace tools {

class FractionalDelay {
public:
    FractionalDelay();
    // The band-limited value of `signal` at position `x` in samples; zero outside the signal.
    double at(const std::vector<float> &signal, double x) const;

private:
    static constexpr int kHalfWidth = 16;
    static constexpr int kSteps = 2048;
    std::vector<float> table_; // kSteps + 1 rows of 2 * kHalfWidth taps
};

} // namespace tools

#endif
