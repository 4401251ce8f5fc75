// IaaSsl_Get_Direction and IaaSsl_Reset_Mapping: a window of votes becomes one angle.
#include <math.h>
#include <string.h>

#include "iaassl.h"
#include "ssl_message.h"
#include "ssl_numeric.h"
#include "ssl_sequence.h"

namespace {

constexpr uint32_t BF_MODE_DELAYS = 1;
constexpr double PI = 3.1415926;
constexpr double HALF_TURN_DEGREES = 180.0;
constexpr double FULL_TURN_DEGREES = 360.0;
constexpr float QUARTER_TURN_DEGREES = 90.0f;
constexpr double DECIBELS = 10.0;

constexpr const char *PAIR_TOO_LARGE =
    "[%s] %s [SSL]Delay sample in pair is too large, Please check the distance and sampling "
    "rate!.\t\n";
constexpr const char *LINE_TOO_LARGE =
    "[%s] %s [SSL]ULA all delay samples are too large. Please check the distance and sampling "
    "rate!.\t\n";

constexpr SslOrderCheck GET_DIRECTION_ORDER[] = {
    {SSL_FLAG_CONFIG, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [GetDirection] Fail! Config must called before GetDirection.\t\n"},
    {SSL_FLAG_CONFIG, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [GetDirection] Fail! Config is being called.\t\n"},
    {SSL_FLAG_SHAPE, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [GetDirection] Fail! SetShape must called before GetDirection.\t\n"},
    {SSL_FLAG_SHAPE, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [GetDirection] Fail! SetShape is being called.\t\n"},
    {SSL_FLAG_PARAMS, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [GetDirection] Fail! ParamsCal must called before GetDirection.\t\n"},
    {SSL_FLAG_PARAMS, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [GetDirection] Fail! ParamsCal is being called.\t\n"},
    {SSL_FLAG_RUN, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [GetDirection] Fail! Run must called before GetDirection.\t\n"},
    {SSL_FLAG_RUN, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [GetDirection] Fail! Run is being called.\t\n"},
    {SSL_FLAG_VOTING, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [GetDirection] Fail! ResetVoting is being called.\t\n"},
};

constexpr const char *GET_DIRECTION_INVALID =
    "[%s] %s [SSL] [GetDirection] Fail! The handle pointer seems invalid\t\n";

constexpr SslCallRules GET_DIRECTION_RULES =
    ssl_rules(GET_DIRECTION_INVALID, nullptr, false,
              "[%s] %s [SSL] [GetDirection] Fail! Please call IaaSsl_Init first!\t\n",
              GET_DIRECTION_ORDER);

constexpr SslOrderCheck RESET_MAPPING_ORDER[] = {
    {SSL_FLAG_CONFIG, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [ResetMapping] Fail! Config must called before ResetVoting.\t\n"},
    {SSL_FLAG_CONFIG, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [ResetMapping] Fail! Config is being called.\t\n"},
    {SSL_FLAG_SHAPE, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [ResetMapping] Fail! SetShape must called before ResetVoting.\t\n"},
    {SSL_FLAG_SHAPE, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [ResetMapping] Fail! SetShape is being called.\t\n"},
    {SSL_FLAG_PARAMS, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [ResetMapping] Fail! ParamsCal must called before ResetVoting.\t\n"},
    {SSL_FLAG_PARAMS, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [ResetMapping] Fail! ParamsCal is being called.\t\n"},
    {SSL_FLAG_RUN, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [ResetMapping] Fail! Run must called before ResetVoting.\t\n"},
    {SSL_FLAG_RUN, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [ResetMapping] Fail! Run is being called.\t\n"},
    {SSL_FLAG_DIRECTION, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [ResetMapping] Fail! GetDirection must called before ResetVoting.\t\n"},
    {SSL_FLAG_DIRECTION, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [ResetMapping] Fail! GetDirection is being called.\t\n"},
};

constexpr SslCallRules RESET_MAPPING_RULES =
    ssl_rules("[%s] %s [SSL] [ResetMapping] Fail! The handle pointer seems invalid\t\n", nullptr,
              false, "[%s] %s [SSL] [ResetMapping] Fail! Please call IaaSsl_Init first!\t\n",
              RESET_MAPPING_ORDER);

float degrees(double radians)
{
    return static_cast<float>(radians * HALF_TURN_DEGREES / PI);
}

// Leaves the level in dB in energy_acc.
bool below_gate(SslHandle *h)
{
    const uint32_t samples = h->point_number * h->frames_per_decision;
    const float mean = h->energy_acc / static_cast<float>(samples);
    h->energy_acc = static_cast<float>(DECIBELS * log10(static_cast<double>(mean)));
    return h->energy_acc <= static_cast<float>(h->noise_gate_dbfs);
}

// Every pair needs a direction bin that beats the rejected frames and its threshold.
bool every_pair_has_winner(SslHandle *h)
{
    bool all = true;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        const int32_t *count = h->vote_count[p];
        int best = 0;
        for (int k = 1; k < SSL_VOTE_SLOTS; ++k) {
            if (count[k] > count[best]) {
                best = k;
            }
        }
        h->best_bin[p] = best;
        if (best == SSL_REJECT_SLOT || count[best] < h->vote_threshold[best]) {
            all = false;
        }
    }
    return all;
}

void path_differences(SslHandle *h)
{
    const float metres_per_sample = h->sound_speed / static_cast<float>(h->sample_rate);
    for (int p = 0; p < SSL_PAIRS; ++p) {
        const int b = h->best_bin[p];
        h->pair_valid[p] = 1;
        h->path_limit[p] = static_cast<float>(h->max_delay[p]) * metres_per_sample;
        h->path_diff[p] =
            metres_per_sample * h->lag_sum[p][b] / static_cast<float>(h->vote_count[p][b]);
        if (h->path_diff[p] < -h->path_limit[p] || h->path_diff[p] > h->path_limit[p]) {
            h->pair_valid[p] = 0;
            ssl_note(PAIR_TOO_LARGE);
        }
    }
}

#if SSL_MIC_NUM > 2
int32_t circle_angle(SslHandle *h, int32_t *angle)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        if (!h->pair_valid[p]) {
            ssl_note("[%s] %s [SSL]UCA all delay samples are too large. Please check the "
                     "distance and sampling rate!.\t\n");
            return SSL_RET_DELAY_TOO_LARGE;
        }
    }
    SslPoint v{0.0f, 0.0f};
    for (int p = 0; p < SSL_PAIRS; ++p) {
        v.x += h->path_diff[p] * h->lsq_matrix[0][p];
        v.y += h->path_diff[p] * h->lsq_matrix[1][p];
    }
    h->dir_vector = v;
    float a = static_cast<float>(atan2(static_cast<double>(v.y), static_cast<double>(v.x)) *
                                     HALF_TURN_DEGREES / PI +
                                 FULL_TURN_DEGREES);
    a = static_cast<float>(fmod(static_cast<double>(a), FULL_TURN_DEGREES) -
                           static_cast<double>(QUARTER_TURN_DEGREES));
    *angle = ssl_truncate(a);
    return SSL_RET_OK;
}
#endif

// Inverse-deviation weighted mean of the pairs' cosines.
int32_t line_angle(SslHandle *h, int32_t *angle)
{
    int valid = 0;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        if (h->pair_valid[p]) {
            h->pair_cos[p] = h->path_diff[p] / h->baseline[p].x;
            h->cos_sum += h->pair_cos[p];
            ++valid;
        }
    }
    if (valid == 0) {
        ssl_note(LINE_TOO_LARGE);
        return SSL_RET_DELAY_TOO_LARGE;
    }
    h->cos_mean = h->cos_sum / static_cast<float>(valid);
    for (int p = 0; p < SSL_PAIRS; ++p) {
        if (h->pair_valid[p]) {
            const float deviation = h->pair_cos[p] - h->cos_mean;
            h->pair_weight[p] = deviation == 0.0f ? 1.0f : 1.0f / fabsf(deviation);
            h->weight_sum += h->pair_weight[p];
        }
    }
    float estimate = h->pair_weight[0] * h->pair_cos[0] / h->weight_sum + h->cos_estimate;
    for (int p = 1; p < SSL_PAIRS; ++p) {
        estimate += h->pair_weight[p] * h->pair_cos[p] / h->weight_sum;
    }
    h->cos_estimate = estimate;
    // A cosine that is not a number (a zero spacing) is as unusable as one beyond 1.
    if (!(fabsf(estimate) < 1.0f)) {
        ssl_note(LINE_TOO_LARGE);
        return SSL_RET_DELAY_TOO_LARGE;
    }
    const float a = degrees(acos(static_cast<double>(estimate))) - QUARTER_TURN_DEGREES;
    *angle = ssl_truncate(a);
    return SSL_RET_OK;
}

int32_t decide(SslHandle *h, int32_t *angle)
{
    if (below_gate(h)) {
        return SSL_RET_BELOW_NOISE_GATE;
    }
    if (!every_pair_has_winner(h)) {
        return SSL_RET_NO_DIRECTION;
    }
    path_differences(h);
#if SSL_MIC_NUM > 2
    if (h->array_geometry == SSL_GEOMETRY_CIRCULAR) {
        return circle_angle(h, angle);
    }
#endif
    // Two microphones on a circle sit on a line along x, so the line decision serves both.
    return line_angle(h, angle);
}

}  // namespace

int32_t IaaSsl_Get_Direction(SSL_HANDLE handle, int32_t *angle)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h == nullptr || angle == nullptr) {
        ssl_error(GET_DIRECTION_INVALID);
        return SSL_RET_INVALID_HANDLE;
    }
    h->direction_state = SSL_BUSY;
    *angle = SSL_NO_ANGLE;
    int32_t rc = ssl_check_call(h, GET_DIRECTION_RULES);
    if (rc != SSL_RET_OK) {
        return rc;
    }
    if (h->bf_mode == BF_MODE_DELAYS) {
        ssl_error("[%s] %s [SSL] [GetDirection] Fail! The bf_mode is 1, You don't need to call "
                  "IaaSsl_Get_Direction!\t\n");
        return SSL_RET_INVALID_BF_MODE;
    }
    rc = decide(h, angle);
    h->direction_state = SSL_DONE;
    return rc;
}

int32_t IaaSsl_Reset_Mapping(SSL_HANDLE handle)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h != nullptr) {
        h->voting_state = SSL_BUSY;
    }
    int32_t rc = ssl_check_call(h, RESET_MAPPING_RULES);
    if (rc != SSL_RET_OK) {
        return rc;
    }
    if (h->bf_mode == BF_MODE_DELAYS) {
        ssl_error("[%s] %s [SSL] [ResetMapping] Fail! The bf_mode is 1, You don't need to call "
                  "IaaSsl_ResetVoting!\t\n");
        return SSL_RET_INVALID_BF_MODE;
    }
    h->energy_acc = 0.0f;
    memset(h->vote_count, 0, sizeof(h->vote_count));
    memset(h->lag_sum, 0, sizeof(h->lag_sum));
    memset(h->pair_cos, 0, sizeof(h->pair_cos));
    memset(h->pair_weight, 0, sizeof(h->pair_weight));
    h->cos_sum = 0.0f;
    h->cos_mean = 0.0f;
    h->weight_sum = 0.0f;
    h->cos_estimate = 0.0f;
    h->dir_vector = SslPoint{0.0f, 0.0f};
    h->direction_state = SSL_NEVER;
    h->voting_state = SSL_DONE;
    return SSL_RET_OK;
}

