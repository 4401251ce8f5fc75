// Direction-finding frame: GCC-PHAT lag per pair, rejection, voting and sub-sample refinement.
#include <math.h>
#include <string.h>

#include "iaassl.h"
#include "ssl_frame.h"

namespace {

constexpr int HALF = SSL_FFT_SIZE / 2;
constexpr double PHAT_GUARD = 1e-9;
constexpr float MEAN_OF_WINDOW = 1.0f / SSL_FFT_SIZE;
constexpr double MIN_PEAK_RATIO = 1.4;
constexpr float FAR_DISTANCE = 1e9f;
constexpr size_t SPECTRUM_BYTES = sizeof(SslComplex) * SSL_FFT_BINS;

struct Peak {
    int position;  // in gcc_shifted, lag + HALF
    float top;
    float bottom;
    float abs_sum;
};

// Only microphones 0 and 1 enter the level, whatever the build.
void accumulate_energy(SslHandle *h)
{
    const float *x0 = h->window_buf[0];
    const float *x1 = h->window_buf[1];
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        h->energy_acc += (x0[n] * x0[n] + x1[n] * x1[n]) * 0.5f;
    }
}

void spectrum(SslHandle *h, int mic, SslComplex *out)
{
    memcpy(h->fft_io, h->window_buf[mic], sizeof(h->window_buf[mic]));
    h->fft_io[SSL_FFT_SIZE] = 0.0f;
    h->fft_io[SSL_FFT_SIZE + 1] = 0.0f;
    ssl_window_apply(h->fft_io);
    ssl_fft_run(&h->fft, SSL_FFT_SIZE, SSL_FFT_FORWARD, h->fft_io);
    memcpy(out, h->fft_io, SPECTRUM_BYTES);
}

float phat(float part, float magnitude)
{
    return static_cast<float>(static_cast<double>(part) /
                              (static_cast<double>(magnitude) + PHAT_GUARD));
}

// Reference spectrum times the conjugate of the partner's, reduced to its phase.
inline void phase_bin(SslHandle *h, int k)
{
    const SslComplex a = h->spec_ref[k];
    const SslComplex b = h->spec_pair[k];
    SslComplex c{a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im};
    h->cross_mag[k] = sqrtf(c.re * c.re + c.im * c.im);
    h->cross_spec[k] = SslComplex{phat(c.re, h->cross_mag[k]), phat(c.im, h->cross_mag[k])};
}

// The bins below Nyquist are a multiple of the vector width, so their loop vectorises without
// a remainder loop, which the default build's cost model refuses to add.
void phase_transform(SslHandle *h)
{
    for (int k = 0; k < SSL_FFT_BINS - 1; ++k) {
        phase_bin(h, k);
    }
    phase_bin(h, SSL_FFT_BINS - 1);
}

// Correlation ordered by lag: position j holds lag j - HALF.
void correlate(SslHandle *h, int p)
{
    memcpy(h->fft_io, h->cross_spec, SPECTRUM_BYTES);
    ssl_fft_run(&h->fft, SSL_FFT_SIZE, SSL_FFT_INVERSE, h->fft_io);
    memcpy(h->gcc, h->fft_io, sizeof(h->gcc));
    memcpy(h->gcc_shifted[p], h->gcc + HALF, HALF * sizeof(float));
    memcpy(h->gcc_shifted[p] + HALF, h->gcc, HALF * sizeof(float));
}

// Highest and lowest value per pair, the lowest position winning a tie. Each pair's scan keeps
// its own order (the magnitudes must add up in lag order), but the pairs are independent:
// scanning them in one loop lets their additions overlap.
void find_peaks(const SslHandle *h, Peak (&peaks)[SSL_PAIRS])
{
    int position[SSL_PAIRS];
    float top[SSL_PAIRS];
    float bottom[SSL_PAIRS];
    float abs_sum[SSL_PAIRS];
    for (int p = 0; p < SSL_PAIRS; ++p) {
        position[p] = 0;
        top[p] = h->gcc_shifted[p][0];
        bottom[p] = top[p];
        abs_sum[p] = fabsf(top[p]);
    }
    for (int j = 1; j < SSL_FFT_SIZE; ++j) {
        // Unrolled, the pairs' running values stay in registers.
#pragma GCC unroll 4
        for (int p = 0; p < SSL_PAIRS; ++p) {
            const float g = h->gcc_shifted[p][j];
            const bool higher = g > top[p];
            position[p] = higher ? j : position[p];
            top[p] = higher ? g : top[p];
            bottom[p] = g < bottom[p] ? g : bottom[p];
            abs_sum[p] += fabsf(g);
        }
    }
    for (int p = 0; p < SSL_PAIRS; ++p) {
        peaks[p] = Peak{position[p], top[p], bottom[p], abs_sum[p]};
    }
}

// A silent or flat correlation has no ratio at all and is rejected like a weak one.
bool prominent(const Peak &peak)
{
    float ratio = (fabsf(peak.top) - fabsf(peak.bottom)) / (peak.abs_sum * MEAN_OF_WINDOW);
    return static_cast<double>(ratio) >= MIN_PEAK_RATIO;
}

int nearest_bin(const float *table, int lag)
{
    float target = static_cast<float>(lag);
    int best = 0;
    float best_distance = fminf(fabsf(table[0] - target), FAR_DISTANCE);
    for (int k = 1; k < SSL_DIRECTIONS; ++k) {
        float distance = fabsf(table[k] - target);
        if (distance < best_distance) {
            best_distance = distance;
            best = k;
        }
    }
    return best;
}

// Vertex of the parabola through the peak and its neighbours; a peak on the edge of the
// lag range has only one neighbour and keeps its whole lag.
float refined_lag(const float *g, const Peak &peak)
{
    const int m = peak.position;
    if (m == 0 || m == SSL_FFT_SIZE - 1) {
        return static_cast<float>(m - HALF);
    }
    const float left = g[m - 1];
    const float right = g[m + 1];
    const float fm = static_cast<float>(m);
    const float x = -0.5f * ((-2.0f * fm - 1.0f) * left * 0.5f + 2.0f * fm * peak.top +
                             (1.0f - 2.0f * fm) * right * 0.5f);
    const float y = static_cast<float>(-static_cast<double>(peak.top) +
                                       0.5 * static_cast<double>(left) +
                                       0.5 * static_cast<double>(right));
    return x / y - static_cast<float>(HALF);
}

void judge_pair(SslHandle *h, int p, const Peak &peak, int32_t *delay_sample)
{
    const int lag = h->lag_index[peak.position];
    const int limit = h->max_delay[p];
    if (lag > limit || lag < -limit || !prominent(peak)) {
        h->vote_count[p][SSL_REJECT_SLOT] += 1;
        delay_sample[p] = SSL_DELAY_REJECTED;
        return;
    }
    delay_sample[p] = lag;
    const int bin = nearest_bin(h->delay_table[p], lag);
    h->vote_count[p][bin] += 1;
    h->lag_sum[p][bin] += refined_lag(h->gcc_shifted[p], peak);
}

}  // namespace

void ssl_frame_gcc_phat(SslHandle *h, int32_t *delay_sample)
{
    accumulate_energy(h);
    spectrum(h, 0, h->spec_ref);
    for (int p = 0; p < SSL_PAIRS; ++p) {
        spectrum(h, p + 1, h->spec_pair);
        phase_transform(h);
        correlate(h, p);
    }
    Peak peaks[SSL_PAIRS];
    find_peaks(h, peaks);
    for (int p = 0; p < SSL_PAIRS; ++p) {
        judge_pair(h, p, peaks[p], delay_sample);
    }
}
