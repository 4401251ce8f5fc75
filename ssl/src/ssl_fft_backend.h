// What an FFT library provides to the front end: one file per library implements it.
#ifndef SSL_FFT_BACKEND_H
#define SSL_FFT_BACKEND_H

#include <stddef.h>

#include "ssl_fft.h"

// Selects the library's process-wide routines; false when the library reports failure.
bool ssl_fft_select_routines();

// Builds the configurations for fft->size inside [area, area + bytes), which is cleared and
// aligned for 32-bit values only, and points fft->forward and fft->inverse at them; false
// when the size has no configuration or it does not fit.
bool ssl_fft_build(SslFft *fft, char *area, size_t bytes);

// The bare transforms of size fft->size: real in, fft->size / 2 + 1 bins out, and back.
// The forward one is unscaled; the inverse keeps whatever scale the library gives it and may
// use the bins as scratch.
void ssl_fft_forward(const SslFft *fft, const float *real, SslComplex *bins);
void ssl_fft_inverse(const SslFft *fft, SslComplex *bins, float *real);

#endif
