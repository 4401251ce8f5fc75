#pragma once

#include <cstdint>
#include <mutex>

// Time-ordered 64-bit identifiers: milliseconds since kEpochMs in bits 63-22, groupId
// in 21-17, nodeId in 16-12 and a per-millisecond sequence in 11-0.
struct IdGenerator {
    using SteadyClock = std::int64_t (*)();  // nanoseconds on a monotonic clock

    static constexpr std::int64_t kEpochMs = 1534832906275;  // 2018-08-21 06:28:26.275 UTC

    explicit IdGenerator(SteadyClock clock = steadyNowNs);

    std::int64_t nextId();

    static std::int64_t steadyNowNs();

    SteadyClock steadyNow;
    std::int64_t steadyStart;
    std::int64_t wallStartMs;
    std::int64_t lastTimestamp = -1;
    std::int64_t nodeId = 0;
    std::int64_t groupId = 0;
    std::int64_t sequence = 0;
    std::mutex mutex;

private:
    std::int64_t nowMs() const;
};
