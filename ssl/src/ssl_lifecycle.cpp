// Working-buffer size, start-up, reset and release of a handle.
#include <string.h>

#include "iaassl.h"
#include "ssl_config.h"
#include "ssl_geometry.h"
#include "ssl_handle.h"
#include "ssl_message.h"

namespace {

constexpr unsigned VERSION_YEAR = 0x2022;
#if SSL_MIC_NUM > 2
constexpr unsigned VERSION_DATE = 0x0929;
#else
constexpr unsigned VERSION_DATE = 0x0728;
#endif
constexpr unsigned VERSION_BUILD = 0;

constexpr uint32_t DEFAULT_TEMPERATURE = 25;
constexpr int32_t DEFAULT_NOISE_GATE = -80;
constexpr uint32_t DEFAULT_FRAMES_PER_DECISION = 32;
constexpr uint32_t MAX_BF_MODE = 1;
constexpr double CENTIMETRES = 0.01;

bool valid_init(const SslInit *init)
{
    if (init->point_number != SSL_POINT_NUMBER) {
        ssl_error("[%s] %s [SSL] Fail! The point_number is invalid!\t\n");
        return false;
    }
    if (init->bf_mode > MAX_BF_MODE) {
        ssl_error("[%s] %s [SSL] Fail! The bf_mode is invalid!\t\n");
        return false;
    }
    if (init->mic_num != SSL_MICS) {
        ssl_error_count("[%s] %s[SSL] Fail! This library only support %d Microphones!!\r\n", SSL_MICS);
        return false;
    }
    return true;
}

void set_defaults(SslHandle *h, const SslInit *init)
{
    h->point_number = init->point_number;
    h->sample_rate = init->sample_rate;
    h->bf_mode = init->bf_mode;
    h->mic_num = init->mic_num;
    h->mic_distance = static_cast<float>(static_cast<double>(init->mic_distance) * CENTIMETRES);
    h->temperature = DEFAULT_TEMPERATURE;
    h->array_geometry = SSL_GEOMETRY_LINEAR;
    h->noise_gate_dbfs = DEFAULT_NOISE_GATE;
    h->sound_speed = ssl_sound_speed(DEFAULT_TEMPERATURE);
    h->frames_per_decision = DEFAULT_FRAMES_PER_DECISION;
}

// Init and Reset are the same start from a cleared buffer.
SslHandle *start(void *buffer, const SslInit *init, const char *null_message)
{
    if (buffer == nullptr || init == nullptr) {
        ssl_error(null_message);
        return nullptr;
    }
    ssl_note_version("[%s] %s[SSL] ver.%04x.%04x.%04x\r\n", VERSION_YEAR, VERSION_DATE,
                     VERSION_BUILD);
    memset(buffer, 0, IaaSsl_GetBufferSize());
    SslHandle *h = static_cast<SslHandle *>(buffer);
    h->fft.work = static_cast<char *>(buffer) + SSL_HANDLE_BYTES;
    ssl_dsp_init();
    if (!valid_init(init)) {
        return nullptr;
    }
    h->marker = SSL_MARKER;
    h->fft.size = SSL_FFT_SIZE;
    h->fft.ready = 0;
    ssl_fft_setup(&h->fft);
    for (int j = 0; j < SSL_FFT_SIZE; ++j) {
        h->lag_index[j] = j - SSL_FFT_SIZE / 2;
    }
    set_defaults(h, init);
    ssl_vote_thresholds(h);
    ssl_init_limits(h);
    ssl_linear_table(h);
    h->init_state = SSL_DONE;
    h->config_state = SSL_NEVER;
    h->shape_state = SSL_NEVER;
    h->params_state = SSL_NEVER;
    h->run_state = SSL_NEVER;
    h->direction_state = SSL_NEVER;
    h->voting_state = SSL_NEVER;
    return h;
}

}  // namespace

uint32_t IaaSsl_GetBufferSize(void)
{
    uint32_t size = SSL_HANDLE_BYTES + ssl_fft_mem_size(SSL_FFT_SIZE);
    ssl_note_count("[%s] %s[SSL] Working buffer size = %d bytes\t\n", static_cast<int>(size));
    return size;
}

SSL_HANDLE IaaSsl_Init(char *working_buffer, const SslInit *ssl_init)
{
    return start(working_buffer, ssl_init,
                 "[%s] %s [SSL] [Init] Fail! The handle or ssl_init is null!\t\n");
}

SSL_HANDLE IaaSsl_Reset(SSL_HANDLE handle, const SslInit *ssl_init)
{
    return start(handle, ssl_init,
                 "[%s] %s [SSL] [Reset] Fail! The handle or ssl_init is null!\t\n");
}

int32_t IaaSsl_Free(SSL_HANDLE handle)
{
    if (handle == nullptr) {
        ssl_error("[%s] %s [SSL] [Free] Fail! The handle is null!\t\n");
        return SSL_RET_INVALID_HANDLE;
    }
    ssl_fft_free(&static_cast<SslHandle *>(handle)->fft);
    return SSL_RET_OK;
}
