#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include <iaassl.h>

#include "talker_tracker.h"

using namespace ssl_stream;

namespace {

constexpr int kRate = 16000;
constexpr int kFrames = 32;
constexpr double kWindowS = kFrames * kFrameSamples / double(kRate);
constexpr int kWordFrames = 62, kVoicedFrames = 50;

// Made-up windows: people speak from angles, each frame as loud as speech or as a quiet room,
// with the whole-sample delays the library would measure and, now and then, its window angle.
class Meeting {
public:
    explicit Meeting(StreamSettings s) : s_(s), tracker_(s, 1), rng_(3) {}

    struct Window {
        double time;
        std::vector<Talker> talkers;
    };

    // `angles` speak at once, each frame from one of them; `window_angle_every` windows give the
    // library's angle of the first; none speak when `angles` is empty.
    void run(double seconds, std::vector<double> angles, int window_angle_every = 2, int loudness = 3000) {
        for (int w = 0; w < std::lround(seconds / kWindowS); ++w) {
            for (int f = 0; f < kFrames; ++f) {
                const bool voiced = !angles.empty() && frames_++ % kWordFrames < kVoicedFrames; // words and gaps
                frame(voiced ? loudness : 20, voiced ? std::optional<double>(angles[f % angles.size()]) : std::nullopt);
            }
            std::optional<int> angle;
            if (!angles.empty() && ++windows_ % window_angle_every == 0) angle = library_angle(angles[0]);
            log_.push_back({time_, tracker_.close_window(angle)});
            time_ += kWindowS;
        }
    }
    void frame(int level, std::optional<double> from) {
        std::vector<std::int16_t> samples(std::size_t(kFrameSamples * s_.channels));
        std::uniform_int_distribution<int> noise(-level, level);
        for (auto &x : samples) x = std::int16_t(noise(rng_));
        std::vector<std::int32_t> delays(std::size_t(s_.channels - 1), SSL_DELAY_REJECTED);
        if (from)
            for (int p = 0; p < s_.channels - 1; ++p) delays[std::size_t(p)] = std::int32_t(std::lround(pair_lag(s_, p, *from)));
        tracker_.add_frame(samples.data(), delays.data());
    }
    // The library's whole degree for a window of a source at `deg`, pulled as it pulls it.
    std::optional<int> library_angle(double deg) const {
        const auto reported = library_.reported(deg);
        if (!reported) return std::nullopt;
        return int(std::trunc(*reported));
    }
    const std::vector<Talker> &now() const { return log_.back().talkers; }
    double time() const { return time_; }
    bool adopt(const StreamSettings &s) { return tracker_.adopt(s); }
    std::vector<Window> log_;

private:
    StreamSettings s_;
    TalkerTracker tracker_;
    LibraryResponse library_{s_};
    std::mt19937 rng_;
    int windows_ = 0;
    int frames_ = 0;
    double time_ = 0;
};

StreamSettings line(int max_talkers = 4, double forget_s = 30) {
    StreamSettings s;
    s.track = true;
    s.max_talkers = max_talkers;
    s.forget_s = forget_s;
    return s;
}

std::vector<int> speaking_ids(const std::vector<Talker> &talkers) {
    std::vector<int> ids;
    for (const Talker &t : talkers)
        if (t.speaking) ids.push_back(t.id);
    return ids;
}

// The first time, from `from`, that `ids` speak.
double first_time_speaking(const Meeting &m, double from, std::vector<int> ids) {
    for (const auto &w : m.log_)
        if (w.time >= from && speaking_ids(w.talkers) == ids) return w.time + kWindowS;
    return 1e9;
}

TEST(TalkerTracker, KeepsOnePersonThroughAPauseAndWakesThemSoon) {
    Meeting m(line());
    m.run(2, {});
    const double first_words = m.time();
    m.run(3, {-40});
    ASSERT_EQ(m.now().size(), 1u);
    EXPECT_NEAR(m.now()[0].angle, -40, 1.0);
    EXPECT_LE(first_time_speaking(m, first_words, {1}) - first_words, 0.6);
    m.run(0.7 + kWindowS, {});
    EXPECT_TRUE(speaking_ids(m.now()).empty());
    m.run(5, {});
    // Another gate keeps the talkers; another array could not.
    StreamSettings gated = line();
    gated.gate_db = -60;
    EXPECT_TRUE(m.adopt(gated));
    gated.spacing_cm = 4;
    EXPECT_FALSE(m.adopt(gated));
    const double back = m.time();
    m.run(2, {-40});
    EXPECT_EQ(speaking_ids(m.now()), std::vector<int>{1});
    EXPECT_LE(first_time_speaking(m, back, {1}) - back, 0.4);
}

TEST(TalkerTracker, TellsAlternatingAndOverlappingPeopleApart) {
    Meeting m(line());
    m.run(1, {});
    for (int turn = 0; turn < 3; ++turn) {
        m.run(2, {-50});
        EXPECT_EQ(speaking_ids(m.now()), std::vector<int>{1});
        m.run(2, {30});
        EXPECT_EQ(speaking_ids(m.now()), std::vector<int>{2});
    }
    m.run(2, {-50, 30});
    EXPECT_EQ(speaking_ids(m.now()), (std::vector<int>{1, 2}));
    ASSERT_EQ(m.now().size(), 2u);
    EXPECT_NEAR(m.now()[1].angle, 30, 2.0);
}

TEST(TalkerTracker, MakesNoTalkerOfAReflectionAStrayWindowOrAFan) {
    Meeting m(line());
    m.run(1, {});
    m.run(3, {-20});
    for (int f = 0; f < 8; ++f) m.frame(3000, 60.0); // a reflection's burst, then a window
    m.run(3, {-20});
    EXPECT_EQ(m.now().size(), 1u);
    for (int f = 0; f < 8; ++f) m.frame(3000, 60.0); // the room ringing on after the last word
    m.run(2, {});
    EXPECT_EQ(m.now().size(), 1u);
    Meeting fan(line());
    for (int f = 0; f < 4000; ++f) fan.frame(1000, 35.0);
    fan.run(1, {35}, 1, 1000);
    EXPECT_TRUE(fan.now().empty());
}

TEST(TalkerTracker, ReportsACircleFrom0To360AcrossTheWrap) {
    StreamSettings s = line();
    s.shape = ArrayShape::circular;
    Meeting m(s);
    m.run(1, {});
    m.run(2, {-3});
    m.run(2, {3});
    ASSERT_EQ(m.now().size(), 1u);
    EXPECT_GE(m.now()[0].angle, 0);
    EXPECT_LT(m.now()[0].angle, 360);
    EXPECT_LT(std::fabs(std::remainder(m.now()[0].angle, 360.0)), 4);
}

TEST(TalkerTracker, KnowsAtMostItsLimitAndForgetsThoseNotHeard) {
    Meeting m(line(3));
    m.run(1, {});
    for (double angle : {-60.0, -20.0, 20.0, 60.0}) m.run(2, {angle});
    ASSERT_EQ(m.now().size(), 3u);
    EXPECT_EQ(m.now()[0].id, 2); // the one heard longest ago made room
    EXPECT_EQ(m.now()[2].id, 4);
    Meeting forgetful(line(4, 2));
    forgetful.run(2, {10});
    forgetful.run(2.5, {});
    EXPECT_TRUE(forgetful.now().empty());
    forgetful.run(2, {10});
    ASSERT_EQ(forgetful.now().size(), 1u);
    EXPECT_EQ(forgetful.now()[0].id, 2);
}

} // namespace

// A fit that ends at the edge of its search, where the cost still falls, stays there: the vertex
// of a flat parabola once put a talker hundreds of degrees off a line.
TEST(AngleGrid, BestFitStaysWithinItsSearchAndTheLine) {
    const StreamSettings s = line();
    const AngleGrid grid(s);
    for (double source : {-89.0, -60.0, 85.0}) {
        double lags[kMaxPairs], weights[kMaxPairs] = {1, 1, 1};
        for (int p = 0; p < grid.pairs(); ++p) lags[p] = pair_lag(s, p, source) * 1.05;
        for (int near : {0, 60, 100, 180}) {
            const double fit = grid.best_fit(lags, weights, near, 15);
            EXPECT_GE(fit, std::max(-90.0, grid.angle(near) - 15.5)) << source << " near " << near;
            EXPECT_LE(fit, std::min(90.0, grid.angle(near) + 15.5)) << source << " near " << near;
        }
    }
}
