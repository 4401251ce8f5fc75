#include "window_clock.h"

namespace iaassl_gst {

bool WindowClock::breaks_continuity(GstClockTime pts, bool discont, std::int64_t samples_since_restart) const {
    if (!started_ || discont) return true;
    if (!GST_CLOCK_TIME_IS_VALID(pts)) return false;
    if (!GST_CLOCK_TIME_IS_VALID(origin_)) return true;
    const GstClockTime expected = time_of(samples_since_restart);
    const GstClockTime distance = pts > expected ? pts - expected : expected - pts;
    return distance > duration_of(1) / 2;
}

void WindowClock::restart(GstClockTime pts) {
    origin_ = pts;
    started_ = true;
}

GstClockTime WindowClock::time_of(std::int64_t sample) const {
    if (!GST_CLOCK_TIME_IS_VALID(origin_)) return GST_CLOCK_TIME_NONE;
    return origin_ + duration_of(sample);
}

GstClockTime WindowClock::duration_of(std::int64_t samples) const {
    return gst_util_uint64_scale(static_cast<guint64>(samples), GST_SECOND, static_cast<guint64>(sample_rate_));
}

} // namespace iaassl_gst
