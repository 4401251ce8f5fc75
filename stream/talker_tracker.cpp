#include "talker_tracker.h"

namespace ssl_stream {

TalkerTracker::TalkerTracker(const StreamSettings &, int first_id) : next_id_(first_id) {}

void TalkerTracker::add_frame(const std::int32_t *) {}

const std::vector<Talker> &TalkerTracker::close_window(std::optional<int>) { return talkers_; }

} // namespace ssl_stream
