#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

#include "library_response.h"
#include "ssl_scene.h"
#include "window_stream.h"

using namespace ssl_stream;

namespace {

// The angle the library gives most windows of a far-off broadband source at `degrees`.
int library_angle(const StreamSettings &s, double degrees) {
    const auto mics = s.shape == ArrayShape::linear ? linear_array(s.channels, s.spacing_cm / 100)
                                                    : circular_array(s.spacing_cm / 100);
    // The scene's azimuth is counted from the x axis, the library's angles from the y axis.
    Scene scene(far_field_delays(mics, degrees + 90, speed_of_sound(s.temperature_c), s.sample_rate), 30, 0.1, 5);
    WindowStream stream(s);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kFrameSamples * s.channels));
    std::map<int, int> votes;
    for (int f = 0; f < 12 * s.frames; ++f) {
        scene.next_frame(samples.data());
        stream.feed(samples.data(), kFrameSamples, [&](const StreamRow &row) {
            if (row.angle) ++votes[*row.angle];
        });
    }
    int best = 0, most = 0;
    for (const auto &[angle, count] : votes)
        if (count > most) std::tie(best, most) = std::tie(angle, count);
    return best;
}

struct Array {
    int channels;
    ArrayShape shape;
    std::vector<double> sources; // where the library is pulled 3 degrees or more
};

// Test names carry the array, not the bytes of its vector.
void PrintTo(const Array &a, std::ostream *out) { *out << a.channels << ' ' << shape_word(a.shape); }

class LibraryResponseTest : public ::testing::TestWithParam<Array> {};

} // namespace

// The response predicts the library's own angle, and from it gives back where the source is.
TEST_P(LibraryResponseTest, UndoesTheLibrarysPullOnASmallArray) {
    const Array a = GetParam();
    StreamSettings s;
    s.channels = a.channels;
    s.shape = a.shape;
    const LibraryResponse response(s);
    for (double source : a.sources) {
        const int angle = library_angle(s, source);
        EXPECT_GE(std::fabs(std::remainder(angle - source, 360.0)), 3) << source;
        EXPECT_NEAR(std::remainder(response.reported(source).value_or(-1000) - angle, 360.0), 0, 2.0) << source;
        EXPECT_LE(std::fabs(std::remainder(response.source(angle) - source, 360.0)), 1.5) << source;
    }
}

INSTANTIATE_TEST_SUITE_P(Arrays, LibraryResponseTest,
                         ::testing::Values(Array{4, ArrayShape::linear, {-70, 70}},
                                           Array{4, ArrayShape::circular, {110, 250, 350}}));
