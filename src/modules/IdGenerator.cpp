#include "modules/IdGenerator.h"

#include <chrono>

namespace {
constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kSequenceMask = 0xFFF;
constexpr int kTimestampShift = 22;
constexpr int kGroupShift = 17;
constexpr int kNodeShift = 12;

std::int64_t wallNowMs()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / kNsPerMs;
}
}  // namespace

IdGenerator::IdGenerator(SteadyClock clock)
    : steadyNow(clock), steadyStart(clock()), wallStartMs(wallNowMs())
{
}

std::int64_t IdGenerator::steadyNowNs()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart).count();
}

// Wall-clock milliseconds advanced by the monotonic clock, so later wall-clock
// changes never make identifiers go backwards.
std::int64_t IdGenerator::nowMs() const
{
    return wallStartMs + (steadyNow() - steadyStart) / kNsPerMs;
}

std::int64_t IdGenerator::nextId()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::int64_t timestamp = nowMs();
    if (timestamp == lastTimestamp) {
        sequence = (sequence + 1) & kSequenceMask;
        if (sequence == 0) {
            // 4096 identifiers in one millisecond: wait for the next one.
            while (timestamp <= lastTimestamp) {
                timestamp = nowMs();
            }
        }
    } else {
        sequence = 0;
    }
    lastTimestamp = timestamp;
    return ((timestamp - kEpochMs) << kTimestampShift) | (groupId << kGroupShift) | (nodeId << kNodeShift) |
           sequence;
}
