// Direction-finding frame: GCC-PHAT lag per pair, rejection, voting and sub-sample refinement.
#include <math.h>

#include "iaassl.h"
#include "ssl_frame.h"
#include "ssl_kernels.h"

namespace {

constexpr int HALF = SSL_FFT_SIZE / 2;
constexpr float MEAN_OF_WINDOW = 1.0f / SSL_FFT_SIZE;
constexpr double MIN_PEAK_RATIO = 1.4;
constexpr float FAR_DISTANCE = 1e9f;
constexpr int SPECTRUM_FLOATS = 2 * SSL_FFT_BINS;

// Only microphones 0 and 1 enter the level, whatever the build.
void accumulate_energy(SslHandle *h)
{
    h->energy_acc = ssl_add_energy(h->energy_acc, h->window_buf[0], h->window_buf[1], SSL_FFT_SIZE);
}

// The window is applied on the way into fft_io, which saves a copy.
void spectrum(SslHandle *h, int mic, SslComplex *out)
{
    ssl_window_into(h->window_buf[mic], h->fft_io);
    h->fft_io[SSL_FFT_SIZE] = 0.0f;
    h->fft_io[SSL_FFT_SIZE + 1] = 0.0f;
    ssl_fft_run(&h->fft, SSL_FFT_SIZE, SSL_FFT_FORWARD, h->fft_io);
    ssl_copy(&out[0].re, h->fft_io, SPECTRUM_FLOATS);
}

// Correlation ordered by lag: position j holds lag j - HALF.
void correlate(SslHandle *h, int p)
{
    ssl_copy(h->fft_io, &h->cross_spec[0].re, SPECTRUM_FLOATS);
    ssl_fft_run(&h->fft, SSL_FFT_SIZE, SSL_FFT_INVERSE, h->fft_io);
    ssl_copy(h->gcc, h->fft_io, SSL_FFT_SIZE);
    ssl_copy(h->gcc_shifted[p], h->gcc + HALF, HALF);
    ssl_copy(h->gcc_shifted[p] + HALF, h->gcc, HALF);
}

// A silent or flat correlation has no ratio at all and is rejected like a weak one.
bool prominent(const SslPeak &peak)
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
float refined_lag(const float *g, const SslPeak &peak)
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

void judge_pair(SslHandle *h, int p, const SslPeak &peak, int32_t *delay_sample)
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
        ssl_phase_transform(h->spec_ref, h->spec_pair, h->cross_spec, h->cross_mag, SSL_FFT_BINS);
        correlate(h, p);
    }
    SslPeak peaks[SSL_PAIRS];
    ssl_find_peaks(h->gcc_shifted[0], SSL_PAIRS, peaks);
    for (int p = 0; p < SSL_PAIRS; ++p) {
        judge_pair(h, p, peaks[p], delay_sample);
    }
}
