// The loops of one frame. ARM builds take them from the NEON file, other builds from the
// portable one; both give the same delays and directions.
#ifndef SSL_KERNELS_H
#define SSL_KERNELS_H

#include <stdint.h>

#include "ssl_fft.h"

constexpr float SSL_FULL_SCALE = 32767.0f;

struct SslPeak {
    int position;  // of the highest value; the lowest position wins a tie
    float top;
    float bottom;
    float abs_sum;
};

// out[c][k] = input[k * channels + c] / 32767, k < frames, for each channel c.
void ssl_scale_channels(const int16_t *input, int channels, int frames, float *const *out);
// buf[n] *= by[n].
void ssl_multiply(float *buf, const float *by, int count);
// energy + the sum of (x0[n]^2 + x1[n]^2) / 2.
float ssl_add_energy(float energy, const float *x0, const float *x1, int count);
// cross = ref times the conjugate of pair, magnitude = |cross|, and then cross is divided by
// (magnitude + 1e-9) in double precision, each quotient stored as float.
void ssl_phase_transform(const SslComplex *ref, const SslComplex *pair, SslComplex *cross,
                         float *magnitude, int bins);
// Highest, lowest and sum of magnitudes of each of `rows` rows of SSL_FFT_SIZE values.
void ssl_find_peaks(const float *rows, int count, SslPeak *peaks);

#endif
