// IaaSsl_Run: takes one interleaved frame into the per-microphone windows and estimates delays.
#include "iaassl.h"
#include "ssl_frame.h"
#include "ssl_kernels.h"
#include "ssl_message.h"
#include "ssl_sequence.h"

namespace {

constexpr uint32_t BF_MODE_DIRECTION = 0;

constexpr SslOrderCheck RUN_ORDER[] = {
    {SSL_FLAG_CONFIG, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [Run] Fail! Config must called before Run.\t\n"},
    {SSL_FLAG_CONFIG, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! Config is being called.\t\n"},
    {SSL_FLAG_SHAPE, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [Run] Fail! SetShape must called before Run.\t\n"},
    {SSL_FLAG_SHAPE, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! SetShape is being called.\t\n"},
    {SSL_FLAG_PARAMS, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [Run] Fail! ParamsCal must called before Run.\t\n"},
    {SSL_FLAG_PARAMS, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! ParamsCal is being called.\t\n"},
    {SSL_FLAG_DIRECTION, SSL_DONE, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! ResetVoting must be called after GetDirection.\t\n"},
    {SSL_FLAG_DIRECTION, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! GetDirection is being called.\t\n"},
    {SSL_FLAG_VOTING, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Run] Fail! ResetVoting is being called.\t\n"},
};

constexpr SslCallRules RUN_RULES =
    ssl_rules("[%s] %s [SSL] [Run] Fail! The handle pointer seems invalid\t\n", nullptr, true,
              "[%s] %s [SSL] [Run] Fail! Please call IaaSsl_Init first!\t\n", RUN_ORDER);

// Each window is the previous frame followed by the new one.
void slide_windows(SslHandle *h, const int16_t *input)
{
    constexpr int n = static_cast<int>(SSL_POINT_NUMBER);
    float *newest[SSL_MICS];
    for (int c = 0; c < SSL_MICS; ++c) {
        float *window = h->window_buf[c];
        ssl_copy(window, window + n, n);
        newest[c] = window + n;
    }
    ssl_scale_channels(input, SSL_MICS, n, newest);
    for (int c = 0; c < SSL_MICS; ++c) {
        ssl_copy(h->frame_buf[c], newest[c], n);
    }
}

}  // namespace

int32_t IaaSsl_Run(SSL_HANDLE handle, const int16_t *microphone_input, int32_t *delay_sample)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h != nullptr) {
        h->run_state = SSL_BUSY;
    }
    if (microphone_input == nullptr) {
        ssl_error("[%s] %s [SSL] [Run] Fail! The microphone_input is NULL\t\n");
        return SSL_RET_INVALID_HANDLE;
    }
    if (delay_sample == nullptr) {
        ssl_error("[%s] %s [SSL] [Run] Fail! The delay_sample is NULL\t\n");
        return SSL_RET_INVALID_HANDLE;
    }
    int32_t rc = ssl_check_call(h, RUN_RULES);
    if (rc != SSL_RET_OK) {
        return rc;
    }
    slide_windows(h, microphone_input);
    if (h->bf_mode == BF_MODE_DIRECTION) {
        ssl_frame_gcc_phat(h, delay_sample);
    } else {
        ssl_frame_asdf(h, delay_sample);
    }
    h->run_state = SSL_DONE;
    return SSL_RET_OK;
}
