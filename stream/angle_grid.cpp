#include "angle_grid.h"

#include <algorithm>
#include <cmath>

#include <iaassl.h>

namespace ssl_stream {

namespace {
constexpr double kPi = 3.14159265358979323846;
// Whole-sample delays are rounded from the correlation's peak, and reflections shift it: a
// frame still points at every direction within a sample of what it measured.
constexpr double kLagTolerance = 1.0;

double samples_per_spacing(const StreamSettings &settings) {
    return settings.spacing_cm / 100 / speed_of_sound(settings.temperature_c) * settings.sample_rate;
}

// pair_lag() in units of spacing / speed of sound.
double unit_lag(ArrayShape shape, int pair, double degrees) {
    const double s = std::sin(degrees * kPi / 180), c = std::cos(degrees * kPi / 180);
    if (shape == ArrayShape::linear) return -(pair + 1) * s;
    const double r = 0.5; // the spacing is the circle's diameter
    const double along[] = {r * (c - s), -2 * r * s, -r * (s + c)};
    return along[pair];
}
} // namespace

double pair_lag(const StreamSettings &settings, int pair, double degrees) {
    return samples_per_spacing(settings) * unit_lag(settings.shape, pair, degrees);
}

AngleGrid::AngleGrid(const StreamSettings &settings)
    : pairs_(settings.channels - 1), circular_(settings.shape == ArrayShape::circular),
      size_(circular_ ? 360 : 181), first_angle_(circular_ ? 0 : -90) {
    const double samples_per_unit = samples_per_spacing(settings);
    const double longest = circular_ ? samples_per_unit : pairs_ * samples_per_unit;
    max_lag_ = static_cast<int>(longest) + 1;
    lags_.assign(static_cast<std::size_t>(pairs_), std::vector<double>(static_cast<std::size_t>(size_)));
    within_.assign(static_cast<std::size_t>(pairs_), std::vector<AngleSet>(static_cast<std::size_t>(2 * max_lag_ + 1)));
    for (int p = 0; p < pairs_; ++p) {
        for (int g = 0; g < size_; ++g) {
            const double lag = pair_lag(settings, p, angle(g));
            lags_[p][g] = lag;
            for (int d = -max_lag_; d <= max_lag_; ++d)
                if (std::fabs(d - lag) <= kLagTolerance) within_[p][d + max_lag_].set(static_cast<std::size_t>(g));
        }
    }
}

int AngleGrid::nearest(double degrees) const {
    const int g = static_cast<int>(std::lround(wrapped(degrees) - first_angle_));
    return circular_ ? g % size_ : g;
}

double AngleGrid::difference(double a, double b) const {
    return circular_ ? std::remainder(a - b, 360.0) : a - b;
}

double AngleGrid::wrapped(double degrees) const {
    if (!circular_) return std::clamp(degrees, first_angle_, first_angle_ + size_ - 1);
    const double w = std::fmod(degrees, 360.0);
    return w < 0 ? w + 360.0 : w;
}

AngleSet AngleGrid::consistent(const std::int32_t *delays) const {
    AngleSet set;
    bool any = false;
    for (int p = 0; p < pairs_; ++p) {
        if (delays[p] == SSL_DELAY_REJECTED) continue;
        if (delays[p] < -max_lag_ || delays[p] > max_lag_) return AngleSet();
        const AngleSet &these = within_[p][delays[p] + max_lag_];
        set = any ? set & these : these;
        any = true;
    }
    return set;
}

double AngleGrid::mismatch(const std::int32_t *delays, int g) const {
    double sum = 0;
    for (int p = 0; p < pairs_; ++p) {
        if (delays[p] == SSL_DELAY_REJECTED) continue;
        const double off = delays[p] - lags_[p][g];
        sum += off * off;
    }
    return sum;
}

double AngleGrid::worst_offset(const std::int32_t *delays, int g) const {
    double worst = 0;
    for (int p = 0; p < pairs_; ++p)
        if (delays[p] != SSL_DELAY_REJECTED) worst = std::max(worst, std::fabs(delays[p] - lags_[p][g]));
    return worst;
}

double AngleGrid::best_fit(const double *lags, const double *weights, int near, int reach) const {
    const auto cost = [&](int g) {
        double sum = 0;
        for (int p = 0; p < pairs_; ++p) sum += weights[p] * (lags[p] - lags_[p][g]) * (lags[p] - lags_[p][g]);
        return sum;
    };
    const auto point = [&](int g) { return circular_ ? (g % size_ + size_) % size_ : std::clamp(g, 0, size_ - 1); };
    int best = point(near);
    for (int k = -reach; k <= reach; ++k)
        if (cost(point(near + k)) < cost(best)) best = point(near + k);
    // The vertex of the parabola through the best point and its neighbours.
    const int left = point(best - 1), right = point(best + 1);
    const double l = cost(left), m = cost(best), r = cost(right), curve = l - 2 * m + r;
    // Past a neighbour lies another point's reach, and a flat cost puts the vertex anywhere.
    const double offset = left == best || right == best || curve <= 0 ? 0 : std::clamp(0.5 * (l - r) / curve, -0.5, 0.5);
    return wrapped(angle(best) + offset);
}

} // namespace ssl_stream
