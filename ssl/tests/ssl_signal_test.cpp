// Signals through Run and Get_Direction: delays, angles, the level gate and rejected frames.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "ssl_scene.h"
#include "ssl_test_support.h"

namespace {

constexpr double SPEED = 346.0;  // 25 degrees
constexpr int WINDOW = 32;
constexpr double LEVEL = 0.1;
constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;

struct Decision {
    int32_t code;
    int32_t angle;
};

Decision decide(SSL_HANDLE h, Scene &scene)
{
    int16_t frame[FRAME_SAMPLES];
    int32_t delays[SSL_PAIRS];
    StdoutCapture quiet;
    for (int i = 0; i < WINDOW; ++i) {
        scene.next_frame(frame);
        EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
    }
    Decision d{0, 0};
    d.code = IaaSsl_Get_Direction(h, &d.angle);
    EXPECT_EQ(IaaSsl_Reset_Mapping(h), SSL_RET_OK);
    return d;
}

// Integer delays of microphone 0 behind microphone p + 1, as Run reports them.
std::vector<double> pair_delays(const std::vector<int> &lags)
{
    std::vector<double> arrival{0.0};
    for (int lag : lags) {
        arrival.push_back(-static_cast<double>(lag));
    }
    return arrival;
}

void expect_delays_found(uint32_t bf_mode, const std::vector<int> &lags)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(5.0f, 16000, bf_mode));
    Scene scene(pair_delays(lags), 30.0, LEVEL, 7);
    int16_t frame[FRAME_SAMPLES];
    int32_t delays[SSL_PAIRS];
    scene.next_frame(frame);
    EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
    for (int i = 0; i < 8; ++i) {
        scene.next_frame(frame);
        EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
        for (int p = 0; p < SSL_PAIRS; ++p) {
            EXPECT_EQ(delays[p], lags[static_cast<size_t>(p)]) << "mode " << bf_mode << " pair " << p;
        }
    }
}

double angle_error(int32_t found, double expected, bool wraps)
{
    double e = static_cast<double>(found) - expected;
    if (wraps) {
        e = fmod(e + 540.0, 360.0) - 180.0;
    }
    return fabs(e);
}

struct Grid {
    SslInit init;
    int32_t geometry;
    std::vector<MicPosition> mics;
    std::vector<double> angles;
};

// Mean absolute error over the grid; every decision must give an angle.
double grid_error(const Grid &grid)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), grid.init, grid.geometry);
    const bool circle = grid.geometry == 1;
    double total = 0.0;
    unsigned seed = 11;
    for (double angle : grid.angles) {
        // Angle 0 is broadside on a line and toward microphone 1 on the circle: both +y.
        double azimuth = angle + 90.0;
        Scene scene(far_field_delays(grid.mics, azimuth, SPEED, grid.init.sample_rate), 20.0,
                    LEVEL, seed++);
        Decision d = decide(h, scene);
        EXPECT_EQ(d.code, SSL_RET_OK) << "angle " << angle;
        double e = angle_error(d.angle, angle, circle);
        total += e;
        EXPECT_LT(e, 8.0) << "angle " << angle << " found " << d.angle;
    }
    return total / static_cast<double>(grid.angles.size());
}

TEST(Signals, IntegerDelaysAreFoundExactlyInBothModes)
{
#if SSL_MIC_NUM > 2
    const std::vector<int> lags{2, -3, 5};
#else
    const std::vector<int> lags{-2};
#endif
    expect_delays_found(0, lags);
    expect_delays_found(1, lags);
}

TEST(Signals, LinearArrayAngles)
{
    const std::vector<double> angles{-60, -45, -30, -15, 0, 15, 30, 45, 60};
#if SSL_MIC_NUM > 2
    Grid grid{make_init(5.0f, 16000), 0, linear_array(4, 0.05), angles};
#else
    Grid grid{make_init(10.0f, 16000), 0, linear_array(2, 0.10), angles};
#endif
    EXPECT_LE(grid_error(grid), 3.0);
}

#if SSL_MIC_NUM > 2
TEST(Signals, CircularArrayAngles)
{
    std::vector<double> angles;
    for (double a = -90.0; a < 270.0; a += 30.0) {
        angles.push_back(a);
    }
    Grid grid{make_init(10.0f, 16000), 1, circular_array(0.10), angles};
    EXPECT_LE(grid_error(grid), 3.0);
}
#endif

TEST(Signals, SilenceIsRejectedAndBelowTheGate)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    const int16_t silence[FRAME_SAMPLES] = {};
    int32_t delays[SSL_PAIRS];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(IaaSsl_Run(h, silence, delays), SSL_RET_OK);
        for (int p = 0; p < SSL_PAIRS; ++p) {
            EXPECT_EQ(delays[p], SSL_DELAY_REJECTED);
        }
    }
    EXPECT_EQ(buffer.record().vote_count[0][SSL_REJECT_SLOT], 3);
    EXPECT_EQ(buffer.record().energy_acc, 0.0f);
    int32_t angle = 0;
    EXPECT_EQ(captured([&] { EXPECT_EQ(IaaSsl_Get_Direction(h, &angle), SSL_RET_BELOW_NOISE_GATE); }),
              "");
    EXPECT_EQ(angle, SSL_NO_ANGLE);
}

TEST(Signals, QuietSourceStaysBelowARaisedGate)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(), 0, make_config(25, -30, 32));
    Scene scene(pair_delays(std::vector<int>(SSL_PAIRS, 1)), 30.0, 0.001, 3);
    Decision d = decide(h, scene);
    EXPECT_EQ(d.code, SSL_RET_BELOW_NOISE_GATE);
    EXPECT_EQ(d.angle, SSL_NO_ANGLE);
}

TEST(Signals, DelaysBeyondTheGeometryAreRejected)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    // Limit of pair 0 on 5 cm at 16 kHz is 3: 3 is accepted, 4 is not.
    for (int lag : {3, -3, 4, -4}) {
        std::vector<int> lags(SSL_PAIRS, 0);
        lags[0] = lag;
        Scene scene(pair_delays(lags), 30.0, LEVEL, 5);
        int16_t frame[FRAME_SAMPLES];
        int32_t delays[SSL_PAIRS];
        scene.next_frame(frame);
        IaaSsl_Run(h, frame, delays);
        scene.next_frame(frame);
        EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
        EXPECT_EQ(delays[0], abs(lag) > 3 ? SSL_DELAY_REJECTED : lag);
    }
    std::vector<int> far(SSL_PAIRS, 0);
    far[0] = 10;
    Scene scene(pair_delays(far), 30.0, LEVEL, 9);
    captured([&] { int32_t a; IaaSsl_Get_Direction(h, &a); IaaSsl_Reset_Mapping(h); });
    Decision d = decide(h, scene);
    EXPECT_EQ(d.code, SSL_RET_NO_DIRECTION);
    EXPECT_EQ(d.angle, SSL_NO_ANGLE);
}

TEST(Signals, SamplesAreScaledByFullScale)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(5.0f, 16000, 1));
    int16_t frame[FRAME_SAMPLES];
    for (int k = 0; k < FRAME_SAMPLES; ++k) {
        frame[k] = k % 2 ? static_cast<int16_t>(32767) : static_cast<int16_t>(-32768);
    }
    int32_t delays[SSL_PAIRS];
    EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
    const SslHandle &r = buffer.record();
    EXPECT_EQ(r.window_buf[1][128], 1.0f);
    EXPECT_EQ(r.window_buf[0][128], -32768.0f / 32767.0f);
    EXPECT_EQ(r.frame_buf[1][0], 1.0f);
    EXPECT_EQ(r.window_buf[1][0], 0.0f);
    EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
    EXPECT_EQ(r.window_buf[1][0], 1.0f);
}

// With a spacing of metres the limits pass the 128-sample overlap: searches stay inside it.
TEST(Signals, HugeArraysFindLargeDelays)
{
    for (uint32_t mode : {0u, 1u}) {
        WorkBuffer buffer;
        SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(300.0f, 48000, mode));
        EXPECT_GT(buffer.record().max_delay[0], 127);
        std::vector<int> lags(SSL_PAIRS, 40);
        Scene scene(pair_delays(lags), 30.0, LEVEL, 13);
        int16_t frame[FRAME_SAMPLES];
        int32_t delays[SSL_PAIRS];
        for (int i = 0; i < 4; ++i) {
            scene.next_frame(frame);
            EXPECT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
        }
        for (int p = 0; p < SSL_PAIRS; ++p) {
            EXPECT_EQ(delays[p], 40) << "mode " << mode;
        }
    }
}

}  // namespace
