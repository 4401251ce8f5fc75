// Portable loops of one frame, for builds without NEON.
#include <math.h>
#include <string.h>

#include "ssl_kernels.h"

void ssl_scale_channels(const int16_t *input, int channels, int frames, float *const *out)
{
    for (int c = 0; c < channels; ++c) {
        for (int k = 0; k < frames; ++k) {
            out[c][k] = static_cast<float>(input[k * channels + c]) / SSL_FULL_SCALE;
        }
    }
}

void ssl_copy(float *dst, const float *src, int count)
{
    memcpy(dst, src, static_cast<size_t>(count) * sizeof(float));
}

void ssl_multiply(const float *in, const float *by, float *out, int count)
{
    for (int n = 0; n < count; ++n) {
        out[n] = in[n] * by[n];
    }
}

float ssl_add_energy(float energy, const float *x0, const float *x1, int count)
{
    for (int n = 0; n < count; ++n) {
        energy += (x0[n] * x0[n] + x1[n] * x1[n]) * 0.5f;
    }
    return energy;
}

// The bins below Nyquist are a multiple of the vector width, so their loop vectorises without
// a remainder loop, which the default build's cost model refuses to add.
void ssl_phase_transform(const SslComplex *ref, const SslComplex *pair, SslComplex *cross,
                         float *magnitude, int bins)
{
    for (int k = 0; k < bins - 1; ++k) {
        ssl_phase_bin(ref[k], pair[k], cross[k], magnitude[k]);
    }
    ssl_phase_bin(ref[bins - 1], pair[bins - 1], cross[bins - 1], magnitude[bins - 1]);
}

namespace {

// Each row's scan keeps its own order (the magnitudes must add up in position order), but the
// rows are independent: scanning three in one loop lets their additions overlap.
template <int ROWS>
void scan_rows(const float *rows, SslPeak *peaks)
{
    int position[ROWS];
    float top[ROWS];
    float bottom[ROWS];
    float abs_sum[ROWS];
    for (int p = 0; p < ROWS; ++p) {
        position[p] = 0;
        top[p] = rows[p * SSL_FFT_SIZE];
        bottom[p] = top[p];
        abs_sum[p] = fabsf(top[p]);
    }
    for (int j = 1; j < SSL_FFT_SIZE; ++j) {
        for (int p = 0; p < ROWS; ++p) {
            const float g = rows[p * SSL_FFT_SIZE + j];
            const bool higher = g > top[p];
            position[p] = higher ? j : position[p];
            top[p] = higher ? g : top[p];
            bottom[p] = g < bottom[p] ? g : bottom[p];
            abs_sum[p] += fabsf(g);
        }
    }
    for (int p = 0; p < ROWS; ++p) {
        peaks[p] = SslPeak{position[p], top[p], bottom[p], abs_sum[p]};
    }
}

}  // namespace

void ssl_find_peaks(const float *rows, int count, SslPeak *peaks)
{
    constexpr int TOGETHER = 3;
    int p = 0;
    for (; p + TOGETHER <= count; p += TOGETHER) {
        scan_rows<TOGETHER>(rows + p * SSL_FFT_SIZE, peaks + p);
    }
    for (; p < count; ++p) {
        scan_rows<1>(rows + p * SSL_FFT_SIZE, peaks + p);
    }
}
