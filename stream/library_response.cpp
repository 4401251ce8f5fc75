#include "library_response.h"

#include <algorithm>
#include <cmath>

namespace ssl_stream {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kFftPoints = 256; // the library's
// Sources are placed this finely to learn the library's response.
constexpr double kStepDeg = 0.25;

// The phase-transformed correlation of a pure delay, `offset` samples from its peak: every
// frequency of the library's transform weighs the same.
double correlation(double offset) {
    if (offset == 0) return kFftPoints / 2;
    return 0.5 * std::sin(kPi * offset) / std::tan(kPi * offset / kFftPoints);
}

double degrees_of(double radians) { return radians * 180 / kPi; }
} // namespace

LibraryResponse::LibraryResponse(const StreamSettings &settings)
    : settings_(settings), grid_(settings), lowest_(-90) {
    // One pair's response is flat toward the ends, where a room's reflections pull the library
    // toward broadside: undone, that pull would grow.
    if (settings.channels == 2) return;
    const auto size = static_cast<std::size_t>(grid_.size());
    std::vector<double> sum(size, 0.0);
    std::vector<int> count(size, 0);
    for (double d = lowest_; d < lowest_ + grid_.size() - 1 + kStepDeg / 2; d += kStepDeg) add_reported(d, sum, count);
    fill_gaps(sum, count);
}

double LibraryResponse::refined_lag(int pair, double degrees) const {
    const double lag = pair_lag(settings_, pair, degrees);
    const double peak = std::round(lag);
    const double left = correlation(peak - 1 - lag), middle = correlation(peak - lag),
                 right = correlation(peak + 1 - lag);
    return peak + (left - right) / (2 * (left - 2 * middle + right));
}

// As the library turns the pairs' mean refined delays into an angle.
std::optional<double> LibraryResponse::reported(double degrees) const {
    const int pairs = settings_.channels - 1;
    if (settings_.shape == ArrayShape::circular) {
        // The least-squares direction of the circle's three pairs (0 to 1, 0 to 2, 0 to 3).
        const double p0 = refined_lag(0, degrees), p1 = refined_lag(1, degrees), p2 = refined_lag(2, degrees);
        const double x = (p0 + 2 * p1 + p2) / 6, y = (p0 - p2) / 2;
        return std::fmod(degrees_of(std::atan2(y, x)) + 360, 360) - 90;
    }
    // A line: each pair's cosine, weighed by the inverse of its distance from their mean.
    double cosines[kMaxPairs], mean = 0;
    for (int p = 0; p < pairs; ++p) {
        cosines[p] = refined_lag(p, degrees) / pair_lag(settings_, p, -90);
        mean += cosines[p] / pairs;
    }
    double weighted = 0, weights = 0;
    for (int p = 0; p < pairs; ++p) {
        const double off = std::fabs(cosines[p] - mean), weight = off == 0 ? 1 : 1 / off;
        weighted += weight * cosines[p];
        weights += weight;
    }
    const double cosine = weighted / weights;
    if (std::fabs(cosine) >= 1) return std::nullopt;
    return degrees_of(std::acos(cosine)) - 90;
}

// Each whole degree the library can give collects the sources it gives it to.
void LibraryResponse::add_reported(double degrees, std::vector<double> &sum, std::vector<int> &count) const {
    const auto angle = reported(degrees);
    if (!angle) return;
    const auto slot = static_cast<std::size_t>(static_cast<int>(std::trunc(*angle)) - lowest_);
    if (slot >= sum.size()) return;
    // Around the circle's wrap, sources are summed on the side of their slot's first one.
    const double first = count[slot] > 0 ? sum[slot] / count[slot] : degrees;
    sum[slot] += first + grid_.difference(degrees, first);
    ++count[slot];
}

// A whole degree that no far-off source gets (the pull skips it) lies between its neighbours.
void LibraryResponse::fill_gaps(std::vector<double> &sum, const std::vector<int> &count) {
    const int size = static_cast<int>(sum.size());
    std::vector<int> known;
    for (int a = 0; a < size; ++a)
        if (count[a] > 0) known.push_back(a);
    if (known.empty()) return;
    source_.assign(sum.size(), 0.0);
    for (int a = 0; a < size; ++a) {
        const auto after = std::lower_bound(known.begin(), known.end(), a);
        const int next = after == known.end() ? known.back() : *after;
        const int before = after == known.begin() ? next : *(after - 1);
        const double at_before = sum[before] / count[before], at_next = sum[next] / count[next];
        const double share = next == before ? 0 : double(a - before) / (next - before);
        source_[a] = at_before + share * grid_.difference(at_next, at_before);
    }
}

double LibraryResponse::source(int angle) const {
    if (source_.empty()) return grid_.wrapped(angle);
    const int slot = std::clamp(angle - lowest_, 0, static_cast<int>(source_.size()) - 1);
    return grid_.wrapped(source_[static_cast<std::size_t>(slot)]);
}

} // namespace ssl_stream
