#include "wall_clock.h"

#include <ctime>

namespace tools {

std::string wall_clock_now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%06dZ", date, static_cast<int>(now.tv_nsec / 1000));
    return text;
}

} // namespace tools
