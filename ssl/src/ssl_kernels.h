// The loops of one frame. ARM builds take them from the NEON file, other builds from the
// portable one; both give the same delays and directions.
#ifndef SSL_KERNELS_H
#define SSL_KERNELS_H

#include <math.h>
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
// dst[n] = src[n], n < count; the two do not overlap.
void ssl_copy(float *dst, const float *src, int count);
// out[n] = in[n] * by[n]; out may be in.
void ssl_multiply(const float *in, const float *by, float *out, int count);
// energy + the sum of (x0[n]^2 + x1[n]^2) / 2.
float ssl_add_energy(float energy, const float *x0, const float *x1, int count);
// cross = ref times the conjugate of pair, magnitude = |cross|, and then cross is divided by
// (magnitude + 1e-9) in double precision, each quotient stored as float.
void ssl_phase_transform(const SslComplex *ref, const SslComplex *pair, SslComplex *cross,
                         float *magnitude, int bins);
// c / (magnitude + 1e-9) in double precision, each part stored as float. One division and two
// products: on the scene suites every stored part equals that of two divisions, and a double
// division costs tens of cycles on Cortex-A cores.
inline SslComplex ssl_phat(SslComplex c, float magnitude)
{
    constexpr double PHAT_GUARD = 1e-9;
    const double scale = 1.0 / (static_cast<double>(magnitude) + PHAT_GUARD);
    return SslComplex{static_cast<float>(static_cast<double>(c.re) * scale),
                      static_cast<float>(static_cast<double>(c.im) * scale)};
}

// One bin of ssl_phase_transform.
inline void ssl_phase_bin(const SslComplex &a, const SslComplex &b, SslComplex &cross,
                          float &magnitude)
{
    const SslComplex c{a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im};
    magnitude = sqrtf(c.re * c.re + c.im * c.im);
    cross = ssl_phat(c, magnitude);
}

// Highest, lowest and sum of magnitudes of each of `rows` rows of SSL_FFT_SIZE values.
void ssl_find_peaks(const float *rows, int count, SslPeak *peaks);

#endif
