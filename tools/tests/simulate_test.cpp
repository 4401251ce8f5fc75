#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "fractional_delay.h"
#include "meeting.h"
#include "renderer.h"
#include "room.h"
#include "sound_file.h"
#include "source_signal.h"
#include "tool_error.h"

using namespace tools;
using ssl_sound::SampleFormat;
using ssl_sound::SoundReader;
using ssl_sound::SoundWriter;

namespace {
constexpr double kPi = 3.14159265358979323846;

std::vector<float> sine(std::size_t n, double cycles_per_sample) {
    std::vector<float> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<float>(std::sin(2 * kPi * cycles_per_sample * static_cast<double>(i)));
    return s;
}
class SineSource : public MonoSource {
public:
    SineSource(int rate, std::int64_t length, double cycles_per_sample)
        : rate_(rate), samples_(sine(static_cast<std::size_t>(length), cycles_per_sample)) {}
    int sample_rate() const override { return rate_; }
    std::int64_t length() const override { return static_cast<std::int64_t>(samples_.size()); }
    void restart() override { next_ = 0; }
    void read(float *out, std::size_t samples) override {
        std::copy_n(samples_.begin() + static_cast<long>(next_), samples, out);
        next_ += samples;
    }

private:
    int rate_;
    std::vector<float> samples_;
    std::size_t next_ = 0;
};
} // namespace

TEST(FractionalDelay, ReadsABandLimitedSignalBetweenItsSamples) {
    const FractionalDelay interpolate;
    const double f = 0.13;
    const auto s = sine(400, f);
    const SignalSpan whole{s.data(), 0, static_cast<std::int64_t>(s.size())};
    for (double x : {100.0, 150.25, 200.5, 250.9, 301.37}) {
        EXPECT_NEAR(interpolate.at(whole, x), std::sin(2 * kPi * f * x), 2e-3) << x;
    }
    // Outside the signal there is silence, not a read past its ends.
    for (double x : {-100.0, 1000.0, 1e300, std::nan("")})
        EXPECT_EQ(interpolate.at(whole, x), 0.0) << x;
}

TEST(Renderer, EachMicrophoneHearsEachArrivalWithItsOwnDelayAcrossBlocks) {
    const int rate = 16000;
    const double f = 0.05;
    const std::int64_t length = 3 * Renderer::kBlockFrames;
    const auto mics = mic_positions({ArrayShape::linear, 0.1, 4});
    const double c = 340.0;
    // An echo later than a whole block: what it repeats was read blocks before it is heard.
    const double echo_s = 1.5 * Renderer::kBlockFrames / rate;
    const std::vector<Arrival> arrivals{{1.0, 0.0, direction_of(35)},
                                        {0.5, echo_s, direction_of(-50)}};
    SineSource source(rate, length, f);
    Renderer renderer(
        source, mics, c, [&](double, std::vector<Arrival> &a) { a = arrivals; }, echo_s);
    std::vector<float> out, block;
    while (renderer.next(block)) out.insert(out.end(), block.begin(), block.end());
    ASSERT_EQ(out.size(), static_cast<std::size_t>(length) * 4);
    for (std::int64_t n : {2 * Renderer::kBlockFrames - 3, 2 * Renderer::kBlockFrames + 500}) {
        for (std::size_t k = 0; k < 4; ++k) {
            double expected = 0.0;
            for (const Arrival &a : arrivals) {
                const double lag = plane_wave_delays(mics, a.direction, c)[k];
                const double heard_at = static_cast<double>(n) - (a.delay_s + lag) * rate;
                expected += a.gain * std::sin(2 * kPi * f * heard_at);
            }
            EXPECT_NEAR(out[static_cast<std::size_t>(n) * 4 + k], expected, 3e-3) << k << ' ' << n;
        }
    }
}

TEST(Room, DirectSoundAndImagesUpToTheOrder) {
    const Room room{{5, 4, 3}, 0.36, 1};
    const Vec3 centre = array_centre_in(room);
    const Vec3 source = centre + 1.0 * direction_of(0);
    std::vector<Arrival> arrivals;
    room_arrivals(room, source, centre, 343.0, arrivals);
    // The direct sound and one image per wall.
    ASSERT_EQ(arrivals.size(), 7u);
    int direct = 0;
    for (const Arrival &a : arrivals) {
        if (a.delay_s == 0.0) {
            ++direct;
            EXPECT_DOUBLE_EQ(a.gain, 1.0);
            EXPECT_NEAR(angle_of(a.direction), 0.0, 1e-9);
            continue;
        }
        EXPECT_GT(a.delay_s, 0.0);
        EXPECT_LT(a.gain, 0.8 + 1e-12); // sqrt(1 - 0.36) times the spreading loss
        EXPECT_NEAR(norm(a.direction), 1.0, 1e-12);
    }
    EXPECT_EQ(direct, 1);
    // The floor image lies straight below the source, 2 z below the floor's height.
    const double floor_path = std::hypot(1.0, 2 * centre.z);
    bool found = false;
    for (const Arrival &a : arrivals)
        found = found || std::abs(a.delay_s - (floor_path - 1.0) / 343.0) < 1e-12;
    EXPECT_TRUE(found);
    const Room second_order{{5, 4, 3}, 0.5, 2};
    room_arrivals(second_order, source, centre, 343.0, arrivals);
    EXPECT_EQ(arrivals.size(), 25u);
    for (const Arrival &a : arrivals) EXPECT_LE(a.delay_s, latest_arrival_s(second_order, 343.0));
}

TEST(SourceSignal, NoiseAtTheAskedRatioAndPeakScale) {
    std::vector<float> clean(40000);
    WhiteNoise(3).fill(clean.data(), clean.size());
    double signal_power = 0;
    for (float v : clean) signal_power += static_cast<double>(v) * v;
    // Added in two blocks, the noise goes on where it left off: no block repeats another.
    SensorNoise noise(noise_level(signal_power / static_cast<double>(clean.size()), 20.0), 3);
    std::vector<float> first(clean.begin(), clean.begin() + 20000);
    std::vector<float> second(clean.begin() + 20000, clean.end());
    noise.add(first);
    noise.add(second);
    double noise_power = 0, repeated = 0;
    for (std::size_t i = 0; i < 20000; ++i) {
        const double a = first[i] - clean[i], b = second[i] - clean[i + 20000];
        noise_power += a * a + b * b;
        repeated += a * b;
    }
    EXPECT_NEAR(10 * std::log10(signal_power / noise_power), 20.0, 0.2);
    EXPECT_LT(std::abs(repeated) / noise_power, 0.05);
    EXPECT_FLOAT_EQ(peak_scale(4.0f, 0.5), 0.125f);
    EXPECT_EQ(peak_scale(0.0f, 0.5), 1.0f);
}

// An encoder writing to a stream leaves the FLAC length unknown (0): the source is counted.
TEST(FileSource, FlacOfUnknownLengthIsReadToItsEnd) {
    const std::string path = testing::TempDir() + "unknown_length.flac";
    constexpr int kRate = 16000;
    constexpr std::int64_t kFrames = 20000;
    {
        SoundWriter writer(path, kRate, 1, SampleFormat::pcm16);
        writer.write(std::vector<float>(kFrames, 0.25f));
        writer.close();
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    // STREAMINFO: the low nibble of byte 21 and bytes 22 to 25 hold the rest of the count.
    char nibble = 0;
    file.seekg(21).get(nibble);
    const std::string zeros(4, '\0');
    file.seekp(21).put(static_cast<char>(nibble & 0xF0)).write(zeros.data(), 4);
    file.close();

    EXPECT_FALSE(SoundReader(path).frames().has_value());
    const auto whole = file_source(path, 100);
    EXPECT_EQ(whole->length(), kFrames);
    std::vector<float> samples(kFrames);
    whole->restart();
    whole->read(samples.data(), samples.size());
    EXPECT_FLOAT_EQ(samples.back(), 0.25f);
    EXPECT_EQ(file_source(path, 0.5)->length(), kRate / 2);
    std::remove(path.c_str());
}

namespace {
// Samples 1, 2, 3, ... up to its length.
class CountingSource : public MonoSource {
public:
    explicit CountingSource(std::int64_t length) : length_(length) {}
    int sample_rate() const override { return 1000; }
    std::int64_t length() const override { return length_; }
    void restart() override { next_ = 0; }
    void read(float *out, std::size_t samples) override {
        ASSERT_LE(next_ + static_cast<std::int64_t>(samples), length_);
        for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(++next_);
    }

private:
    std::int64_t length_;
    std::int64_t next_ = 0;
};
} // namespace

TEST(Meeting, ATalkerGoesOnWhereItStoppedAndLoopsOnlyWithinItsSpans) {
    const auto talker = talking_in(std::make_unique<CountingSource>(5), {{2, 5}, {8, 12}}, 14);
    const std::vector<float> expected{0, 0, 1, 2, 3, 0, 0, 0, 4, 5, 1, 2, 0, 0};
    // Whole, and in pieces that end inside spans and gaps alike: the same samples each pass.
    for (std::size_t piece : {14u, 3u, 1u}) {
        talker->restart();
        std::vector<float> heard(14);
        for (std::size_t at = 0; at < heard.size(); at += piece)
            talker->read(heard.data() + at, std::min(piece, heard.size() - at));
        EXPECT_EQ(heard, expected) << piece;
    }
}

TEST(Meeting, TimesAreIntervalsInOrderThatNeverOverlap) {
    const auto times = parse_times("0-3.5,6-9.2,9.2-10");
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[1].from_s, 6.0);
    EXPECT_EQ(times[1].to_s, 9.2);
    // The minus of an exponent is not the one between the two times.
    EXPECT_EQ(parse_times("1e-3-2e1")[0].from_s, 1e-3);
    EXPECT_EQ(parse_times("1e-3-2e1")[0].to_s, 20.0);
    for (const char *bad : {"", "3", "0-1,", ",0-1", "0-1,,2-3", "a-b", "0-nan", "0-inf", "-1-2",
                            "2-1", "1-1", "0-3,2-5", "4-5,0-1", "0 - 1"})
        EXPECT_THROW(parse_times(bad), ToolError) << bad;
    EXPECT_EQ(parse_talkers({"noise", "-50", "0-1", "a.wav", "30", "1-2"})[0].angle_deg, -50.0);
    EXPECT_THROW(parse_talkers({"noise", "nan", "0-1"}), ToolError);
    EXPECT_EQ(meeting_end_s(parse_talkers({"noise", "0", "0-4", "noise", "0", "1-2"})), 4.0);
}
