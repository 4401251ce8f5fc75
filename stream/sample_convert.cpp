#include "sample_convert.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ssl_stream {

namespace {
constexpr float kInt16FullScale = 32768.0f;
}

std::int16_t int16_from_float(float v) {
    if (std::isnan(v)) return 0;
    const float scaled = std::clamp(v, -1.0f, 1.0f) * kInt16FullScale;
    constexpr long kMost = std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(std::min(std::lrint(scaled), kMost));
}

} // namespace ssl_stream
