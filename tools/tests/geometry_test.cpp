#include <gtest/gtest.h>

#include <cmath>

#include "array_geometry.h"
#include "stream_error.h"
#include "tool_error.h"

using namespace tools;

TEST(Geometry, MicrophonesSitWhereTheLibraryPutsThem) {
    const auto line4 = mic_positions({ArrayShape::linear, 0.05, 4});
    ASSERT_EQ(line4.size(), 4u);
    EXPECT_DOUBLE_EQ(line4[0].x, -0.075);
    EXPECT_DOUBLE_EQ(line4[3].x, 0.075);
    const auto line2 = mic_positions({ArrayShape::linear, 0.05, 2});
    EXPECT_DOUBLE_EQ(line2[0].x, -0.025);
    EXPECT_DOUBLE_EQ(line2[1].x, 0.025);
    // Microphone 0 at 180 degrees, then 90, 0 and -90; the spacing is the diameter.
    const auto circle = mic_positions({ArrayShape::circular, 0.1, 4});
    EXPECT_DOUBLE_EQ(circle[0].x, -0.05);
    EXPECT_DOUBLE_EQ(circle[1].y, 0.05);
    EXPECT_DOUBLE_EQ(circle[2].x, 0.05);
    EXPECT_DOUBLE_EQ(circle[3].y, -0.05);
    EXPECT_THROW(mic_positions({ArrayShape::circular, 0.1, 2}), ToolError);
}

TEST(Geometry, AnglesFollowTheLibraryConvention) {
    // 0 is broadside, +90 points at microphone 0's end of a line.
    EXPECT_NEAR(direction_of(0).y, 1.0, 1e-12);
    EXPECT_NEAR(direction_of(90).x, -1.0, 1e-12);
    for (double a : {-170.0, -90.0, -33.0, 0.0, 45.0, 179.0})
        EXPECT_NEAR(angle_of(direction_of(a)), a, 1e-9);
}

TEST(Geometry, TheNearerMicrophoneHearsFirst) {
    const auto mics = mic_positions({ArrayShape::linear, 0.1, 4});
    const auto delays = plane_wave_delays(mics, direction_of(90), 340.0);
    // From microphone 0's end, each next microphone hears 0.1 m / 340 m/s later.
    for (std::size_t k = 1; k < delays.size(); ++k)
        EXPECT_NEAR(delays[k] - delays[k - 1], 0.1 / 340.0, 1e-12);
    const auto broadside = plane_wave_delays(mics, direction_of(0), 340.0);
    for (double d : broadside) EXPECT_NEAR(d, 0.0, 1e-15);
}

TEST(Geometry, SpeedOfSoundAndShapeWords) {
    EXPECT_DOUBLE_EQ(speed_of_sound(25), 346.0);
    EXPECT_DOUBLE_EQ(speed_of_sound(0), 331.0);
    EXPECT_EQ(ssl_stream::library_shape_code(parse_shape("linear")), 0);
    EXPECT_EQ(ssl_stream::library_shape_code(parse_shape("circular")), 1);
    EXPECT_THROW(parse_shape("square"), ssl_stream::StreamError);
}

TEST(Geometry, AnglesMapOntoWhatEachArrayReports) {
    // A line hears a source behind it as its mirror image in front.
    EXPECT_NEAR(normalise_angle(ArrayShape::linear, 120), 60, 1e-12);
    EXPECT_NEAR(normalise_angle(ArrayShape::linear, -150), -30, 1e-12);
    EXPECT_NEAR(normalise_angle(ArrayShape::linear, 400), 40, 1e-12);
    // A circle reports -90..270.
    EXPECT_NEAR(normalise_angle(ArrayShape::circular, -100), 260, 1e-12);
    EXPECT_NEAR(normalise_angle(ArrayShape::circular, 300), -60, 1e-12);
    EXPECT_NEAR(normalise_angle(ArrayShape::circular, 200), 200, 1e-12);
}
