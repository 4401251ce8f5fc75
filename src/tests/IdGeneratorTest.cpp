#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "modules/IdGenerator.h"

namespace {

constexpr std::int64_t kSequenceMask = 0xFFF;
constexpr std::int64_t kNsPerMs = 1000000;

// A monotonic clock that moves only when told to.
std::int64_t fakeNowNs = 0;
int fakeReadsUntilTick = -1;  // after this many further reads, advance by one millisecond

std::int64_t fakeClock()
{
    if (fakeReadsUntilTick == 0) {
        fakeNowNs += kNsPerMs;
    }
    if (fakeReadsUntilTick >= 0) {
        --fakeReadsUntilTick;
    }
    return fakeNowNs;
}

std::int64_t wallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t msOf(std::int64_t id)
{
    return (id >> 22) + IdGenerator::kEpochMs;
}

}  // namespace

TEST(IdGenerator, SequenceCountsWithinOneMillisecondAndWrapsByWaiting)
{
    fakeNowNs = 5 * kNsPerMs;
    fakeReadsUntilTick = -1;
    IdGenerator generator(fakeClock);

    const std::int64_t first = generator.nextId();
    EXPECT_EQ(first & kSequenceMask, 0);
    EXPECT_EQ(msOf(first), generator.wallStartMs);
    EXPECT_EQ(generator.nextId() & kSequenceMask, 1);
    for (int i = 2; i < 4096; ++i) {
        EXPECT_EQ(generator.nextId() & kSequenceMask, i);
    }

    // The 4097th call in the same millisecond spins until the clock moves on.
    fakeReadsUntilTick = 3;
    const std::int64_t wrapped = generator.nextId();
    EXPECT_EQ(wrapped & kSequenceMask, 0);
    EXPECT_EQ(msOf(wrapped), msOf(first) + 1);
    EXPECT_LT(fakeReadsUntilTick, 0);
}

// Bounds that hold however long the process is descheduled between two clock readings.
TEST(IdGenerator, IdentifierCarriesTheMillisecondOfIssue)
{
    const std::int64_t beforeStart = wallMs();
    IdGenerator generator;
    const std::int64_t afterStart = wallMs();
    EXPECT_GE(generator.wallStartMs, beforeStart);
    EXPECT_LE(generator.wallStartMs, afterStart);

    const std::int64_t id = generator.nextId();
    const std::int64_t afterIssue = wallMs();
    EXPECT_GT(id, 0);
    EXPECT_GE(msOf(id), generator.wallStartMs);
    // The monotonic clock started before the wall clock was read, within the constructor.
    EXPECT_LE(msOf(id), generator.wallStartMs + (afterIssue - beforeStart) + 1);
}

TEST(IdGenerator, ThreadsGetDistinctIncreasingIds)
{
    IdGenerator generator;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 20000;
    std::vector<std::vector<std::int64_t>> issued(kThreads);
    std::vector<std::thread> threads;
    for (auto& ids : issued) {
        threads.emplace_back([&generator, &ids] {
            for (int i = 0; i < kPerThread; ++i) ids.push_back(generator.nextId());
        });
    }
    for (auto& thread : threads) thread.join();

    std::set<std::int64_t> all;
    for (const auto& ids : issued) {
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
        EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
        all.insert(ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kPerThread));
}
