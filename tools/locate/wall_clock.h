#ifndef TOOLS_WALL_CLOCK_H
#define TOOLS_WALL_CLOCK_H

#include <string>

namespace tools {

// The time now in UTC, ISO 8601 to the microsecond: 2026-05-04T13:07:09.123456Z.
std::string wall_clock_now();

} // namespace tools

#endif
