#include <gtest/gtest.h>

#include <cmath>

#include "fractional_delay.h"
#include "renderer.h"
#include "room.h"
#include "source_signal.h"

using namespace tools;

namespace {
constexpr double kPi = 3.14159265358979323846;

std::vector<float> sine(std::size_t n, double cycles_per_sample) {
    std::vector<float> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<float>(std::sin(2 * kPi * cycles_per_sample * static_cast<double>(i)));
    return s;
}
} // namespace

TEST(FractionalDelay, ReadsABandLimitedSignalBetweenItsSamples) {
    const FractionalDelay interpolate;
    const double f = 0.13;
    const auto s = sine(400, f);
    for (double x : {100.0, 150.25, 200.5, 250.9, 301.37}) {
        EXPECT_NEAR(interpolate.at(s, x), std::sin(2 * kPi * f * x), 2e-3) << x;
    }
    // Outside the signal there is silence, not a read past its ends.
    EXPECT_EQ(interpolate.at(s, -100.0), 0.0);
    EXPECT_EQ(interpolate.at(s, 1000.0), 0.0);
}

TEST(Renderer, EachMicrophoneHearsTheSourceWithItsOwnDelay) {
    const int rate = 16000;
    const double f = 0.05;
    const auto source = sine(2000, f);
    const auto mics = mic_positions({ArrayShape::linear, 0.1, 4});
    const double c = 340.0;
    const Vec3 towards = direction_of(35);
    const auto out = render(source, rate, mics, c, [&](double, std::vector<Arrival> &a) {
        a.assign(1, Arrival{1.0, 0.0, towards});
    });
    ASSERT_EQ(out.size(), source.size() * 4);
    const auto delays = plane_wave_delays(mics, towards, c);
    for (std::size_t k = 0; k < 4; ++k) {
        for (std::size_t n = 500; n < 510; ++n) {
            const double t = static_cast<double>(n) - delays[k] * rate;
            EXPECT_NEAR(out[n * 4 + k], std::sin(2 * kPi * f * t), 2e-3) << k << ' ' << n;
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
    room_arrivals({{5, 4, 3}, 0.5, 2}, source, centre, 343.0, arrivals);
    EXPECT_EQ(arrivals.size(), 25u);
}

TEST(SourceSignal, NoiseAtTheAskedRatioAndPeakNormalisation) {
    std::vector<float> signal(40000, 0.0f);
    const auto clean = white_noise(signal.size(), 3);
    signal = clean;
    add_sensor_noise(signal, 20.0, 3);
    double noise_power = 0, signal_power = 0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double n = signal[i] - clean[i];
        noise_power += n * n;
        signal_power += static_cast<double>(clean[i]) * clean[i];
    }
    EXPECT_NEAR(10 * std::log10(signal_power / noise_power), 20.0, 0.2);
    normalise_peak(signal, 0.5);
    float peak = 0;
    for (float v : signal) peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak, 0.5f, 1e-6);
}
