#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "ssl_scene.h"
#include "stream_error.h"
#include "window_stream.h"

using namespace ssl_stream;

namespace {

constexpr double kSoundSpeed = 346.0;

StreamSettings settings_for(int channels, ArrayShape shape, Mode mode) {
    StreamSettings s;
    s.channels = channels;
    s.shape = shape;
    s.mode = mode;
    s.frames = 8;
    return s;
}

// A source at `azimuth` for `frames` frames, interleaved.
std::vector<std::int16_t> scene_samples(const StreamSettings &s, double azimuth, int frames) {
    const auto mics = s.shape == ArrayShape::linear ? linear_array(s.channels, s.spacing_cm / 100)
                                                    : circular_array(s.spacing_cm / 100);
    Scene scene(far_field_delays(mics, azimuth, kSoundSpeed, s.sample_rate), 20, 0.1, 7);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames * kFrameSamples * s.channels));
    for (int f = 0; f < frames; ++f) scene.next_frame(&samples[static_cast<std::size_t>(f * kFrameSamples * s.channels)]);
    return samples;
}

struct Rows {
    std::vector<StreamRow> rows;
    RowSink sink() {
        return [this](const StreamRow &r) { rows.push_back(r); };
    }
};

bool same(const StreamRow &a, const StreamRow &b) {
    return a.start_sample == b.start_sample && a.outcome == b.outcome && a.angle == b.angle &&
           a.delays == b.delays;
}

void expect_same_rows(const std::vector<StreamRow> &got, const std::vector<StreamRow> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(same(got[i], want[i])) << "row " << i;
}

// Feeds `samples` in chunks whose sizes cycle through `chunk_frames`.
std::vector<StreamRow> feed_in_chunks(WindowStream &stream, const std::vector<std::int16_t> &samples,
                                      const std::vector<std::size_t> &chunk_frames) {
    Rows out;
    const auto channels = static_cast<std::size_t>(stream.settings().channels);
    std::size_t done = 0;
    for (std::size_t i = 0; done < samples.size() / channels; ++i) {
        const std::size_t n = std::min(chunk_frames[i % chunk_frames.size()], samples.size() / channels - done);
        stream.feed(&samples[done * channels], n, out.sink());
        done += n;
    }
    return out.rows;
}

struct Case {
    int channels;
    ArrayShape shape;
    Mode mode;
};

class ChunkingTest : public ::testing::TestWithParam<Case> {};

} // namespace

// Rows depend on the samples only, never on how they were cut up.
TEST_P(ChunkingTest, AnyChunkingGivesTheRowsOfWholeFrames) {
    const Case c = GetParam();
    const StreamSettings s = settings_for(c.channels, c.shape, c.mode);
    const auto samples = scene_samples(s, 60, 40);
    WindowStream whole(s);
    const auto want = feed_in_chunks(whole, samples, {kFrameSamples});
    const std::size_t want_rows = c.mode == Mode::delays ? 40 : 5;
    ASSERT_EQ(want.size(), want_rows);
    EXPECT_EQ(want.back().start_sample, static_cast<std::int64_t>(want_rows - 1) * whole.samples_per_row());
    if (c.mode == Mode::direction) {
        EXPECT_EQ(want.back().outcome, Outcome::angle);
        EXPECT_TRUE(want.back().angle.has_value());
    } else {
        EXPECT_EQ(want.back().delays.size(), static_cast<std::size_t>(c.channels - 1));
    }
    for (const auto &chunks : std::vector<std::vector<std::size_t>>{{1}, {441}, {160, 7, 1000}, {40 * kFrameSamples}}) {
        WindowStream chunked(s);
        expect_same_rows(feed_in_chunks(chunked, samples, chunks), want);
        EXPECT_EQ(chunked.samples_fed(), 40 * kFrameSamples);
    }
}

INSTANTIATE_TEST_SUITE_P(Arrays, ChunkingTest,
                         ::testing::Values(Case{4, ArrayShape::linear, Mode::direction},
                                           Case{4, ArrayShape::circular, Mode::direction},
                                           Case{2, ArrayShape::linear, Mode::direction},
                                           Case{4, ArrayShape::linear, Mode::delays}));

// After a reset nothing of the audio before it counts: the rows are those of a new stream.
TEST(WindowStreamTest, ResetStartsAFreshWindowAtZero) {
    const StreamSettings s = settings_for(4, ArrayShape::linear, Mode::direction);
    const auto before = scene_samples(s, -40, 3);
    const auto after = scene_samples(s, 30, 24);
    WindowStream fresh(s);
    const auto want = feed_in_chunks(fresh, after, {kFrameSamples});

    WindowStream stream(s);
    Rows ignored;
    stream.feed(before.data(), before.size() / 4 - 5, ignored.sink());
    stream.reset();
    EXPECT_EQ(stream.samples_fed(), 0);
    expect_same_rows(feed_in_chunks(stream, after, {100}), want);
    EXPECT_TRUE(ignored.rows.empty());
}

// A window under way ends with the settings it started with.
TEST(WindowStreamTest, NewSettingsStartWithTheNextWindow) {
    StreamSettings s = settings_for(4, ArrayShape::linear, Mode::direction);
    const auto samples = scene_samples(s, 10, 24);
    WindowStream stream(s);
    Rows out;
    stream.feed(samples.data(), 4 * kFrameSamples, out.sink());
    s.frames = 4;
    stream.change_settings(s);
    stream.feed(&samples[16 * kFrameSamples], 20 * kFrameSamples, out.sink());
    ASSERT_EQ(out.rows.size(), 5u);
    EXPECT_EQ(out.rows[0].start_sample, 0);
    EXPECT_EQ(out.rows[1].start_sample, 8 * kFrameSamples);
    EXPECT_EQ(out.rows[2].start_sample, 12 * kFrameSamples);
    s.sample_rate = 48000;
    EXPECT_THROW(stream.change_settings(s), StreamError);
}

// The library's notes go to the stream's receiver, a line each, and never to standard output;
// what the caller prints, in its sink too, is passed on.
TEST(WindowStreamTest, TheLibrarysNotesGoToTheReceiverAndNotStandardOutput) {
    const StreamSettings s = settings_for(4, ArrayShape::linear, Mode::direction);
    const auto samples = scene_samples(s, 10, 16);
    std::vector<std::string> notes;
    testing::internal::CaptureStdout();
    std::FILE *before = stdout;
    {
        WindowStream stream(s, [&notes](std::string_view note) { notes.emplace_back(note); });
        stream.feed(samples.data(), samples.size() / 4, [](const StreamRow &) { std::printf("row\n"); });
        stream.reset();
    }
    std::printf("after\n");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "row\nrow\nafter\n");
    EXPECT_EQ(stdout, before);
    // The buffer's size when asked and at every start, the version at every start: two here.
    const std::regex version(R"(\[ALGO_MSG_MSG\] \[SSL\] ver\.[0-9a-f]{4}\.[0-9a-f]{4}\.[0-9a-f]{4})");
    const std::regex size(R"(\[ALGO_MSG_MSG\] \[SSL\] Working buffer size = \d+ bytes)");
    for (const auto &note : notes) EXPECT_TRUE(std::regex_match(note, version) || std::regex_match(note, size)) << note;
    EXPECT_EQ(std::count_if(notes.begin(), notes.end(), [&](const std::string &n) { return std::regex_match(n, version); }), 2);
}

// A line printed in pieces is one note, blanks at its end left off.
TEST(WindowStreamTest, ANotePrintedInPiecesIsOneLine) {
    std::vector<std::string> notes;
    const NoteReceiver receiver = [&notes](std::string_view note) { notes.emplace_back(note); };
    {
        const LibraryCall call(receiver);
        std::printf("[SSL] ");
        std::printf("first\t\n\r\n[SSL] second \r\n[SSL] ");
        std::fputs("third", stdout);
    }
    EXPECT_EQ(notes, (std::vector<std::string>{"[SSL] first", "[SSL] second", "[SSL] third"}));
}
