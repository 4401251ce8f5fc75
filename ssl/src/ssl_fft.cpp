// Set-up, release and the copies around the transforms, whichever library computes them.
#include <stdio.h>
#include <string.h>

#include "ssl_fft_backend.h"
#include "ssl_kernels.h"

uint32_t ssl_fft_mem_size(uint32_t n)
{
    return 18 * n + 96 * (n / 32) + 652;
}

void ssl_fft_setup(SslFft *fft)
{
    if (fft == nullptr) {
        puts("[FFT]The handle is NULL");
        return;
    }
    if (fft->ready == 1) {
        puts("[FFT]Ne10 has init already");
        return;
    }
    if (fft->work == nullptr) {
        puts("[FFT] Please assigned the begining address about FFT workingbuffer in Init.");
        return;
    }
    const size_t bytes = ssl_fft_mem_size(static_cast<uint32_t>(fft->size));
    char *area = static_cast<char *>(fft->work);
    memset(area, 0, bytes);
    if (!ssl_fft_build(fft, area, bytes)) {
        fft->forward = nullptr;
        fft->inverse = nullptr;
        puts("[Audio] memory malloc failed");
        return;
    }
    fft->ready = 1;
}

void ssl_fft_run(SslFft *fft, int n, int direction, float *io)
{
    if (fft == nullptr || fft->forward == nullptr) {
        puts("[Audio] Ne10_workingBufPtr is Null in fft");
        return;
    }
    const int spectrum_floats = 2 * (n / 2 + 1);
    if (direction == SSL_FFT_FORWARD) {
        ssl_fft_forward(fft, io, fft->bins);
        ssl_copy(io, &fft->bins[0].re, spectrum_floats);
    } else if (direction == SSL_FFT_INVERSE) {
        ssl_copy(&fft->bins[0].re, io, spectrum_floats);
        // The transform writes the first n floats; the two behind them end cleared.
        io[n] = 0.0f;
        io[n + 1] = 0.0f;
        ssl_fft_inverse(fft, fft->bins, io);
    }
}

void ssl_fft_free(SslFft *fft)
{
    if (fft == nullptr) {
        puts("handle is NULL in FFT_Free!\t");
        return;
    }
    fft->ready = 0;
}
