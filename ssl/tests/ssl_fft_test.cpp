// The spectral front end on its own: window, transforms, set-up and release.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <vector>

#include "ssl_fft.h"
#include "ssl_test_support.h"

namespace {

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_.assign(ssl_fft_mem_size(SSL_FFT_SIZE) / sizeof(uint64_t) + 1, 0);
        fft_.work = memory_.data();
        fft_.size = SSL_FFT_SIZE;
        ssl_fft_setup(&fft_);
    }

    std::vector<uint64_t> memory_;
    SslFft fft_{};
    float io_[SSL_FFT_SIZE + 2] = {};
};

TEST(FrontEndSizes, ConfigurationMemoryFor256Points)
{
    EXPECT_EQ(ssl_fft_mem_size(256), 6028u);
    EXPECT_EQ(ssl_fft_mem_size(31), 18u * 31 + 652);
}

TEST_F(FrontEnd, SineWindowIsSymmetricAboutTheCentre)
{
    float ones[SSL_FFT_SIZE];
    for (float &v : ones) {
        v = 2.0f;
    }
    ssl_window_apply(ones);
    EXPECT_EQ(ones[0], 0.0f);
    EXPECT_EQ(ones[128], 2.0f);
    EXPECT_EQ(ones[1], 2.0f * 0.012271538f);
    EXPECT_EQ(ones[64], 2.0f * 0.70710677f);
    for (int n = 1; n < SSL_FFT_SIZE; ++n) {
        EXPECT_EQ(ones[n], ones[SSL_FFT_SIZE - n]) << n;
        EXPECT_FLOAT_EQ(ones[n], 2.0f * static_cast<float>(sin(M_PI * n / 256.0))) << n;
    }
}

TEST_F(FrontEnd, ImpulseHasAFlatSpectrum)
{
    ASSERT_EQ(fft_.ready, 1);
    io_[0] = 1.0f;
    ssl_fft_run(&fft_, SSL_FFT_SIZE, SSL_FFT_FORWARD, io_);
    for (int k = 0; k < SSL_FFT_BINS; ++k) {
        EXPECT_FLOAT_EQ(io_[2 * k], 1.0f) << k;
        EXPECT_NEAR(io_[2 * k + 1], 0.0f, 1e-6f) << k;
    }
}

TEST_F(FrontEnd, InverseOfForwardIsProportionalToTheFrame)
{
    float frame[SSL_FFT_SIZE];
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        frame[n] = static_cast<float>(sin(0.3 * n) + 0.25 * cos(1.7 * n + 0.2));
        io_[n] = frame[n];
    }
    ssl_fft_run(&fft_, SSL_FFT_SIZE, SSL_FFT_FORWARD, io_);
    EXPECT_NEAR(io_[1], 0.0f, 1e-5f);
    EXPECT_NEAR(io_[2 * (SSL_FFT_BINS - 1) + 1], 0.0f, 1e-4f);
    ssl_fft_run(&fft_, SSL_FFT_SIZE, SSL_FFT_INVERSE, io_);
    const float scale = io_[3] / frame[3];
    EXPECT_GT(scale, 0.0f);
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        EXPECT_NEAR(io_[n], scale * frame[n], 1e-3f) << n;
    }
    EXPECT_EQ(io_[SSL_FFT_SIZE], 0.0f);
    EXPECT_EQ(io_[SSL_FFT_SIZE + 1], 0.0f);
}

TEST_F(FrontEnd, OtherDirectionsLeaveTheBufferAlone)
{
    for (int n = 0; n < SSL_FFT_SIZE + 2; ++n) {
        io_[n] = static_cast<float>(n);
    }
    ssl_fft_run(&fft_, SSL_FFT_SIZE, 0, io_);
    for (int n = 0; n < SSL_FFT_SIZE + 2; ++n) {
        EXPECT_EQ(io_[n], static_cast<float>(n));
    }
}

TEST_F(FrontEnd, SetupTwiceKeepsTheConfiguration)
{
    void *forward = fft_.forward;
    EXPECT_EQ(captured([&] { ssl_fft_setup(&fft_); }), "[FFT]Ne10 has init already\n");
    EXPECT_EQ(fft_.forward, forward);
    EXPECT_EQ(fft_.ready, 1);
}

TEST_F(FrontEnd, FreeClearsReadyOnly)
{
    ssl_fft_free(&fft_);
    EXPECT_EQ(fft_.ready, 0);
    io_[0] = 1.0f;
    ssl_fft_run(&fft_, SSL_FFT_SIZE, SSL_FFT_FORWARD, io_);
    EXPECT_FLOAT_EQ(io_[2], 1.0f);
}

TEST(FrontEndFailures, EachProblemHasItsLine)
{
    EXPECT_EQ(captured([] { ssl_fft_setup(nullptr); }), "[FFT]The handle is NULL\n");
    EXPECT_EQ(captured([] { ssl_fft_free(nullptr); }), "handle is NULL in FFT_Free!\t\n");
    float io[SSL_FFT_SIZE + 2] = {};
    EXPECT_EQ(captured([&] { ssl_fft_run(nullptr, SSL_FFT_SIZE, SSL_FFT_FORWARD, io); }),
              "[Audio] Ne10_workingBufPtr is Null in fft\n");

    SslFft fft{};
    fft.size = SSL_FFT_SIZE;
    EXPECT_EQ(captured([&] { ssl_fft_setup(&fft); }),
              "[FFT] Please assigned the begining address about FFT workingbuffer in Init.\n");
    EXPECT_EQ(fft.ready, 0);

    // An odd size has no real-input configuration.
    std::vector<uint64_t> memory(ssl_fft_mem_size(SSL_FFT_SIZE) / sizeof(uint64_t) + 1);
    fft.work = memory.data();
    fft.size = 255;
    EXPECT_EQ(captured([&] { ssl_fft_setup(&fft); }), "[Audio] memory malloc failed\n");
    EXPECT_EQ(fft.ready, 0);
    EXPECT_EQ(captured([&] { ssl_fft_run(&fft, SSL_FFT_SIZE, SSL_FFT_FORWARD, io); }),
              "[Audio] Ne10_workingBufPtr is Null in fft\n");
}

}  // namespace
