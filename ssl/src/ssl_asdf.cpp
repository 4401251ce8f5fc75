// Delays-only frame: the lag with the smallest mean squared difference of the newest frames.
#include "ssl_frame.h"

namespace {

constexpr int FRAME = static_cast<int>(SSL_POINT_NUMBER);

// Lags beyond the frame overlap have no samples to compare.
int search_limit(int32_t max_delay)
{
    if (max_delay < 0) {
        return 0;
    }
    return max_delay > SSL_MAX_SEARCH_LAG ? SSL_MAX_SEARCH_LAG : max_delay;
}

float mean_squared_difference(const float *x, const float *y, int lag)
{
    const int shift_x = lag > 0 ? lag : 0;
    const int shift_y = lag < 0 ? -lag : 0;
    const int overlap = FRAME - (lag < 0 ? -lag : lag);
    float sum = 0.0f;
    for (int k = 0; k < overlap; ++k) {
        const float d = x[k + shift_x] - y[k + shift_y];
        sum += d * d;
    }
    return sum / static_cast<float>(overlap);
}

}  // namespace

void ssl_frame_asdf(SslHandle *h, int32_t *delay_sample)
{
    const float *x = h->frame_buf[0];
    for (int p = 0; p < SSL_PAIRS; ++p) {
        const float *y = h->frame_buf[p + 1];
        const int limit = search_limit(h->max_delay[p]);
        int best = -limit;
        for (int lag = -limit; lag <= limit; ++lag) {
            float *score = &h->asdf_score[lag + limit];
            *score = mean_squared_difference(x, y, lag);
            if (*score < h->asdf_score[best + limit]) {
                best = lag;
            }
        }
        delay_sample[p] = best;
    }
}
