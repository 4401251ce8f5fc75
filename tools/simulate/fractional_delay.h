// Reads a signal between its samples: a windowed-sinc interpolator from a precomputed table.
#ifndef TOOLS_FRACTIONAL_DELAY_H
#define TOOLS_FRACTIONAL_DELAY_H

#include <cstdint>
#include <vector>

namespace tools {

// Samples `first` to `end` (exclusive) of a longer signal; `samples` holds sample `first`.
struct SignalSpan {
    const float *samples;
    std::int64_t first;
    std::int64_t end;
};

class FractionalDelay {
public:
    // How far on either side of a position its value reaches, in samples.
    static constexpr int kHalfWidth = 16;

    FractionalDelay();
    // The band-limited value of the signal at position `x` in samples; zero outside the span.
    double at(SignalSpan signal, double x) const;

private:
    static constexpr int kSteps = 2048;
    std::vector<float> table_; // kSteps + 1 rows of 2 * kHalfWidth taps
};

} // namespace tools

#endif
