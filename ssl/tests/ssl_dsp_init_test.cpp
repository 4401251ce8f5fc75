// The process-wide selection of the transform routines, when the FFT library reports failure.
#include <gtest/gtest.h>

#include "ssl_fft_backend.h"
#include "ssl_test_support.h"

// Stands in for the FFT library's selection, which cannot fail on a machine that runs us.
bool ssl_fft_select_routines()
{
    return false;
}

namespace {

TEST(DspInit, FailureIsPrintedAndReturned)
{
    int result = 0;
    EXPECT_EQ(captured([&] { result = ssl_dsp_init(); }),
              "init Ne10 DSP fail\nERROR: init dsp failed\n");
    EXPECT_EQ(result, -1);
}

}  // namespace
