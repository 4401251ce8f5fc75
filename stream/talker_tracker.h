// Follows talkers across windows: who is where, and who is speaking now. It sees what the
// library gives, each frame's pair delays (rejected ones marked) and each window's decision,
// and reports the talkers it knows once per window.
#ifndef SSL_STREAM_TALKER_TRACKER_H
#define SSL_STREAM_TALKER_TRACKER_H

#include <cstdint>
#include <optional>
#include <vector>

#include "stream_settings.h"
#include "talker.h"

namespace ssl_stream {

class TalkerTracker {
public:
    // Ids start at `first_id`.
    TalkerTracker(const StreamSettings &settings, int first_id);

    // One frame's pair delays, SSL_DELAY_REJECTED where the library found none.
    void add_frame(const std::int32_t *delays);
    // Closes the window with the library's decision (an angle or none) and returns the known
    // talkers, in id order.
    const std::vector<Talker> &close_window(std::optional<int> angle);

    int next_id() const { return next_id_; }

private:
    int next_id_;
    std::vector<Talker> talkers_;
};

} // namespace ssl_stream

#endif
