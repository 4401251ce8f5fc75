// IaaSsl_Config and IaaSsl_Get_Config.
#include "ssl_config.h"

#include "iaassl.h"
#include "ssl_message.h"
#include "ssl_numeric.h"
#include "ssl_sequence.h"

namespace {

constexpr uint32_t SAMPLE_RATES[] = {8000, 16000, 32000, 48000};
constexpr int32_t VOTE_BASE[SSL_VOTE_SLOTS] = {2, 4, 4, 4, 4, 4, 4, 4, 2, 16};
constexpr uint32_t VOTE_BASE_FRAMES_SHIFT = 5;  // the base table is for 32 frames
constexpr double SPEED_AT_ZERO = 331.0;
constexpr double SPEED_PER_DEGREE = 0.6;
constexpr int32_t GATE_MIN = -80;
constexpr int32_t GATE_MAX = 0;
constexpr uint32_t MAX_BF_MODE = 1;

constexpr SslOrderCheck CONFIG_ORDER[] = {
    {SSL_FLAG_SHAPE, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Config] Fail! SetShape is being called\t\n"},
    {SSL_FLAG_PARAMS, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Config] Fail! ParamsCal is being called\t\n"},
    {SSL_FLAG_DIRECTION, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Config] Fail! GetDirection is being called\t\n"},
    {SSL_FLAG_VOTING, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [Config] Fail! ResetVoting is being called\t\n"},
};

constexpr SslCallRules CONFIG_RULES =
    ssl_rules("[%s] %s [SSL] [Config] Fail! The handle pointer seems invalid\t\n", nullptr, true,
              "[%s] %s [SSL] [Config] Fail! Please call IaaSsl_Init first!\t\n", CONFIG_ORDER);

constexpr SslCallRules GET_CONFIG_RULES =
    ssl_rules("[%s] %s [SSL] [GetConfig] Fail! The handle pointer seems invalid in %s \t\n",
              "IaaSsl_Get_Config", true,
              "[%s] %s[BF] [GetConfig] Fail! Please call IaaSsl_Init first!\t\n");

bool supported_rate(uint32_t rate)
{
    for (uint32_t r : SAMPLE_RATES) {
        if (r == rate) {
            return true;
        }
    }
    return false;
}

// Init accepts these values unchecked; the first Config is where they are refused.
int32_t validate_stored(const SslHandle *h)
{
    if (h->mic_num != SSL_MICS) {
        ssl_error_count("[%s] %s[SSL] [Config] Fail! This library only support %d Microphones!!\r\n",
                        SSL_MICS);
        return SSL_RET_INVALID_MIC_NUM;
    }
    if (!supported_rate(h->sample_rate)) {
        ssl_error("[%s] %s [SSL] [Config] Fail! Error setting sample rate.\t\n");
        return SSL_RET_INVALID_SAMPLE_RATE;
    }
    if (h->point_number != SSL_POINT_NUMBER) {
        ssl_error("[%s] %s [SSL] [Config] Fail! The point_number is invalid!\t\n");
        return SSL_RET_INVALID_POINT_NUMBER;
    }
    if (h->bf_mode > MAX_BF_MODE) {
        ssl_error("[%s] %s [SSL] [Config] Fail! The bf_mode is invalid!\t\n");
        return SSL_RET_INVALID_BF_MODE;
    }
    return SSL_RET_OK;
}

int32_t clamp_gate(int32_t gate)
{
    if (gate < GATE_MIN) {
        return GATE_MIN;
    }
    return gate > GATE_MAX ? GATE_MAX : gate;
}

}  // namespace

// Below freezing is an ordinary outdoor temperature, so the stored bits are read as signed.
float ssl_sound_speed(uint32_t temperature)
{
    double celsius = static_cast<double>(static_cast<int32_t>(temperature));
    return static_cast<float>(SPEED_AT_ZERO + SPEED_PER_DEGREE * celsius);
}

void ssl_vote_thresholds(SslHandle *h)
{
    float windows = static_cast<float>(h->frames_per_decision >> VOTE_BASE_FRAMES_SHIFT);
    for (int k = 0; k < SSL_VOTE_SLOTS; ++k) {
        h->vote_threshold[k] = ssl_truncate(static_cast<float>(VOTE_BASE[k]) * windows);
    }
}

int32_t IaaSsl_Config(SSL_HANDLE handle, const SslConfig *ssl_config)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h != nullptr) {
        h->config_state = SSL_BUSY;
    }
    if (ssl_config == nullptr) {
        ssl_error("[%s] %s [SSL] [Config] Fail! The ssl_config is null!\t\n");
        return SSL_RET_INVALID_CONFIG;
    }
    int32_t rc = ssl_check_call(h, CONFIG_RULES);
    if (rc == SSL_RET_OK) {
        rc = validate_stored(h);
    }
    if (rc != SSL_RET_OK) {
        return rc;
    }
    h->temperature = ssl_config->temperature;
    h->sound_speed = ssl_sound_speed(h->temperature);
    h->frames_per_decision = ssl_config->frames_per_decision;
    ssl_vote_thresholds(h);
    h->noise_gate_dbfs = clamp_gate(ssl_config->noise_gate_dbfs);
    h->config_state = SSL_DONE;
    return SSL_RET_OK;
}

int32_t IaaSsl_Get_Config(SSL_HANDLE handle, SslConfig *ssl_config)
{
    if (ssl_config == nullptr) {
        ssl_error("[%s] %s [SSL] [GetConfig] Fail! The ssl_config is null!\t\n");
        return SSL_RET_INVALID_CONFIG;
    }
    if (handle == nullptr) {
        ssl_error("[%s] %s [SSL] [GetConfig] Fail! The handle is null!\t\n");
        return SSL_RET_INVALID_HANDLE;
    }
    const SslHandle *h = static_cast<const SslHandle *>(handle);
    int32_t rc = ssl_check_call(h, GET_CONFIG_RULES);
    if (rc != SSL_RET_OK) {
        return rc;
    }
    ssl_config->temperature = h->temperature;
    ssl_config->noise_gate_dbfs = h->noise_gate_dbfs;
    ssl_config->frames_per_decision = h->frames_per_decision;
    return SSL_RET_OK;
}
