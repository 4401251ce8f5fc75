// The spectral front end on its own: window, transforms, set-up and release.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <vector>

#include "ssl_fft.h"
#include "ssl_test_support.h"

#if SSL_FFT_NE10
#include <NE10.h>
#endif

namespace {

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ssl_dsp_init(), 0);
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

#if SSL_FFT_NE10
// Factors, twiddles and super-twiddles behind one state record, as Ne10's allocator places them.
void expect_same_tables(const ne10_fft_r2c_state_float32_t *built,
                        const ne10_fft_r2c_state_float32_t *own)
{
    auto offset = [](const void *table, const void *state) {
        return static_cast<const char *>(table) - static_cast<const char *>(state);
    };
    ASSERT_EQ(built->ncfft, own->ncfft);
    EXPECT_EQ(offset(built->factors, built), offset(own->factors, own));
    EXPECT_EQ(offset(built->twiddles, built), offset(own->twiddles, own));
    EXPECT_EQ(offset(built->super_twiddles, built), offset(own->super_twiddles, own));
    EXPECT_EQ(offset(built->buffer, built), offset(own->buffer, own));
    EXPECT_EQ(memcmp(built->factors, own->factors, 2 * NE10_MAXFACTORS * sizeof(ne10_int32_t)), 0);
    EXPECT_EQ(memcmp(built->twiddles, own->twiddles,
                     static_cast<size_t>(own->ncfft) * sizeof(ne10_fft_cpx_float32_t)), 0);
    EXPECT_EQ(memcmp(built->super_twiddles, own->super_twiddles,
                     static_cast<size_t>(own->ncfft / 2) * sizeof(ne10_fft_cpx_float32_t)), 0);
}
#endif

// Whatever the alignment of the working area, the configuration is Ne10's own, byte for byte.
TEST_F(FrontEnd, ConfigurationMatchesTheAllocatorOfNe10)
{
#if SSL_FFT_NE10
    ne10_fft_r2c_cfg_float32_t own = ne10_fft_alloc_r2c_float32(SSL_FFT_SIZE);
    ASSERT_NE(own, nullptr);
    expect_same_tables(static_cast<ne10_fft_r2c_cfg_float32_t>(fft_.forward), own);

    std::vector<uint64_t> memory(ssl_fft_mem_size(SSL_FFT_SIZE) / sizeof(uint64_t) + 2);
    SslFft shifted{};
    shifted.work = reinterpret_cast<char *>(memory.data()) + 4;
    shifted.size = SSL_FFT_SIZE;
    ssl_fft_setup(&shifted);
    ASSERT_EQ(shifted.ready, 1);
    expect_same_tables(static_cast<ne10_fft_r2c_cfg_float32_t>(shifted.forward), own);
    free(own);
#else
    GTEST_SKIP() << "this build transforms with KissFFT";
#endif
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
