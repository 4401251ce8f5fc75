// Where a stream's windows lie in time. A window's time is counted in samples from the PTS of the
// first buffer after the last restart, so it stays exact whatever the buffers' sizes.
#ifndef IAASSL_GST_WINDOW_CLOCK_H
#define IAASSL_GST_WINDOW_CLOCK_H

#include <gst/gst.h>

#include <cstdint>

namespace iaassl_gst {

class WindowClock {
public:
    explicit WindowClock(int sample_rate) : sample_rate_(sample_rate) {}

    // Whether a buffer at `pts` does not go on from the `samples_since_restart` before it: the
    // first buffer, a DISCONT, the first PTS after unstamped audio (windows cannot be timed from a
    // stamp partway through them), or a PTS more than half a sample away from where they end.
    bool breaks_continuity(GstClockTime pts, bool discont, std::int64_t samples_since_restart) const;
    // Sample 0 is at `pts` from now on (none when the buffer has no PTS).
    void restart(GstClockTime pts);
    // The next buffer starts afresh.
    void forget() { started_ = false; }

    GstClockTime time_of(std::int64_t sample) const;
    GstClockTime duration_of(std::int64_t samples) const;

private:
    int sample_rate_;
    bool started_ = false;
    GstClockTime origin_ = GST_CLOCK_TIME_NONE;
};

} // namespace iaassl_gst

#endif
