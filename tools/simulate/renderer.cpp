#include "renderer.h"

#include <algorithm>
#include <cmath>

namespace tools {

namespace {
// Source samples a reach of `seconds` spans, with the interpolator's width and a margin for
// rounding; never more than the whole source.
std::int64_t reach_in_samples(double seconds, int sample_rate, std::int64_t length) {
    const double samples =
        std::ceil(seconds * sample_rate) + FractionalDelay::kHalfWidth + 2.0;
    return samples < static_cast<double>(length) ? static_cast<std::int64_t>(samples) : length;
}
} // namespace

Renderer::Renderer(MonoSource &source, std::vector<Vec3> mics, double sound_speed,
                   ArrivalsAt arrivals_at, double latest_arrival_s)
    : source_(source), mics_(std::move(mics)), sound_speed_(sound_speed),
      arrivals_at_(std::move(arrivals_at)) {
    double farthest_mic = 0.0;
    for (const Vec3 &m : mics_) farthest_mic = std::max(farthest_mic, norm(m));
    const double widest_lag = farthest_mic / sound_speed_;
    const int rate = source_.sample_rate();
    reach_back_ = reach_in_samples(latest_arrival_s + widest_lag, rate, source_.length());
    reach_ahead_ = reach_in_samples(widest_lag, rate, source_.length());
    source_.restart();
}

void Renderer::hold_source(std::int64_t from, std::int64_t to) {
    const std::int64_t held_end = held_first_ + static_cast<std::int64_t>(held_.size());
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(from - held_first_));
    held_first_ = from;
    if (to <= held_end) return;
    held_.resize(static_cast<std::size_t>(to - held_first_));
    source_.read(held_.data() + (held_end - held_first_), static_cast<std::size_t>(to - held_end));
}

bool Renderer::next(std::vector<float> &block) {
    const std::int64_t length = source_.length();
    const std::int64_t begin = next_frame_;
    if (begin >= length) return false;
    const std::int64_t end = std::min(length, begin + kBlockFrames);
    hold_source(std::max<std::int64_t>(held_first_, begin - reach_back_),
                std::min(length, end + reach_ahead_));
    const SignalSpan span{held_.data(), held_first_,
                          held_first_ + static_cast<std::int64_t>(held_.size())};
    const std::size_t channels = mics_.size();
    const int rate = source_.sample_rate();
    block.assign(static_cast<std::size_t>(end - begin) * channels, 0.0f);
    for (std::int64_t n = begin; n < end; ++n) {
        const double t = static_cast<double>(n) / rate;
        arrivals_at_(t, arrivals_);
        float *frame = &block[static_cast<std::size_t>(n - begin) * channels];
        for (const Arrival &a : arrivals_) {
            const std::vector<double> lags = plane_wave_delays(mics_, a.direction, sound_speed_);
            for (std::size_t k = 0; k < channels; ++k) {
                const double heard_at = (t - a.delay_s - lags[k]) * rate;
                frame[k] += static_cast<float>(a.gain * interpolate_.at(span, heard_at));
            }
        }
    }
    next_frame_ = end;
    return true;
}

} // namespace tools
