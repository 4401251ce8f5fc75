// The directions an array reports, one degree apart, with the delay each pair hears from each:
// what a frame's pair delays say about where its sound came from.
#ifndef SSL_STREAM_ANGLE_GRID_H
#define SSL_STREAM_ANGLE_GRID_H

#include <bitset>
#include <cstdint>
#include <vector>

#include "stream_settings.h"

namespace ssl_stream {

constexpr int kMaxGridAngles = 360;
constexpr int kMaxPairs = 3;
using AngleSet = std::bitset<kMaxGridAngles>;

// Samples by which microphone 0 hears a far-off source at `degrees` later than microphone
// pair + 1, the microphones placed as the library places them.
double pair_lag(const StreamSettings &settings, int pair, double degrees);

class AngleGrid {
public:
    explicit AngleGrid(const StreamSettings &settings);

    int size() const { return size_; }
    int pairs() const { return pairs_; }
    bool circular() const { return circular_; }
    // Degrees of grid point `g`: -90..90 on a line, 0..359 on a circle.
    double angle(int g) const { return first_angle_ + g; }
    // The grid point nearest `degrees`, which may lie outside the span on a circle.
    int nearest(double degrees) const;
    // Signed difference a - b in degrees, the short way round on a circle.
    double difference(double a, double b) const;
    // Degrees brought into the span the grid reports: round a circle, or to a line's nearer end.
    double wrapped(double degrees) const;

    // The grid points from which a frame's delays could have come (delays of
    // SSL_DELAY_REJECTED say nothing); empty when no pair has a delay.
    AngleSet consistent(const std::int32_t *delays) const;
    // How far, in samples squared, a frame's delays lie from those of grid point `g`.
    double mismatch(const std::int32_t *delays, int g) const;
    // The farthest, in samples, that one of a frame's delays lies from those of grid point `g`.
    double worst_offset(const std::int32_t *delays, int g) const;
    // The direction, between grid points, whose delays lie nearest `lags` (one per pair,
    // each weighed by `weights`), searched within `reach` grid points of `near`.
    double best_fit(const double *lags, const double *weights, int near, int reach) const;

private:
    int pairs_;
    bool circular_;
    int size_;
    double first_angle_;
    int max_lag_;
    std::vector<std::vector<double>> lags_;      // [pair][grid point]
    std::vector<std::vector<AngleSet>> within_;  // [pair][lag + max_lag_]
};

} // namespace ssl_stream

#endif
