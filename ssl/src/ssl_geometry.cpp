// IaaSsl_Set_Shape and IaaSsl_Cal_Params: microphone positions, delay limits, delay tables
// and the least-squares matrix of the circular array.
#include "ssl_geometry.h"

#include <math.h>
#include <stdlib.h>

#include "iaassl.h"
#include "ssl_message.h"
#include "ssl_numeric.h"
#include "ssl_sequence.h"

namespace {

// cos(m * 22.5 degrees) for m = 0..10, with pi = 3.1415926 and the angle rounded to float.
constexpr double DIRECTION_COS[] = {
    1.0,
    0.9238795397342354,
    0.7071068078790854,
    0.38268342961080154,
    7.549789954891874e-08,
    -0.3826834002438957,
    -0.7071067854026294,
    -0.9238795047603525,
    -0.9999999999999886,
    -0.9238795290886961,
    -0.7071068303555407,
};

// Circular pairs look 45 degrees further round per microphone.
constexpr int CIRCLE_STEPS_PER_PAIR = 2;
constexpr int CIRCLE_FIRST_STEP = 2;

constexpr double COS_90 = 2.6794896585028633e-08;
constexpr double SIN_90 = 0.9999999999999997;
constexpr double COS_180 = -0.9999999999999986;
constexpr double SIN_180 = 5.3589793170057245e-08;

struct UnitPoint {
    double x;
    double y;
};

// Linear array centred on the origin, in units of the spacing.
#if SSL_MIC_NUM > 2
constexpr float LINE_OFFSETS[SSL_MICS] = {-1.5f, -0.5f, 0.5f, 1.5f};
constexpr UnitPoint CIRCLE_POINTS[SSL_MICS] = {
    {COS_180, SIN_180}, {COS_90, SIN_90}, {1.0, 0.0}, {COS_90, -SIN_90}};
#else
constexpr float LINE_OFFSETS[SSL_MICS] = {-0.5f, 0.5f};
constexpr UnitPoint CIRCLE_POINTS[SSL_MICS] = {{COS_180, SIN_180}, {1.0, 0.0}};
#endif

constexpr double DETERMINANT_GUARD = 1e-9;
constexpr int32_t DELAY_LIMIT_CAP = 1 << 20;  // far beyond any lag a 256-point window holds

constexpr SslOrderCheck SET_SHAPE_ORDER[] = {
    {SSL_FLAG_CONFIG, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [SetShape] Fail! Config must called before SetShape.\t\n"},
    {SSL_FLAG_CONFIG, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [SetShape] Fail! Config is being called\t\n"},
    {SSL_FLAG_PARAMS, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [SetShape] Fail! ParamsCal is being called\t\n"},
    {SSL_FLAG_RUN, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [SetShape] Fail! Run is being called\t\n"},
    {SSL_FLAG_DIRECTION, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [SetShape] Fail! GetDirection is being called\t\n"},
    {SSL_FLAG_VOTING, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [SetShape] Fail! ResetVoting is being called\t\n"},
};

constexpr SslCallRules SET_SHAPE_RULES =
    ssl_rules("[%s] %s [SSL] [SetShape] Fail! The handle pointer seems invalid in %s \t\n",
              "IaaSsl_Set_Shape", true,
              "[%s] %s[SSL] [SetShape] Fail! Please call IaaSsl_Init first!\t\n", SET_SHAPE_ORDER);

constexpr SslOrderCheck CAL_PARAMS_ORDER[] = {
    {SSL_FLAG_CONFIG, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [CalParams] Fail! Config must called before MatrixCal.\t\n"},
    {SSL_FLAG_CONFIG, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [CalParams] Fail! Config is being called\t\n"},
    {SSL_FLAG_SHAPE, SSL_NEVER, SSL_RET_CALL_ORDER_ERROR,
     "[%s] %s [SSL] [CalParams] Fail! SetShape must called before MatrixCal.\t\n"},
    {SSL_FLAG_SHAPE, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [CalParams] Fail! SetShape is being called\t\n"},
    {SSL_FLAG_RUN, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [CalParams] Fail!Run is being called\t\n"},
    {SSL_FLAG_DIRECTION, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [CalParams] Fail! GetDirection is being called\t\n"},
    {SSL_FLAG_VOTING, SSL_BUSY, SSL_RET_API_CONFLICT,
     "[%s] %s [SSL] [CalParams] Fail!ResetVoting is being called\t\n"},
};

constexpr SslCallRules CAL_PARAMS_RULES =
    ssl_rules("[%s] %s [SSL] [CalParams] Fail!The handle pointer seems invalid in %s \t\n",
              "IaaSsl_Cal_Params", true,
              "[%s] %s[SSL] [CalParams] Fail! Please call IaaSsl_Init first!\t\n",
              CAL_PARAMS_ORDER);

// Whole samples of the largest delay, plus one.
int32_t delay_limit(float samples)
{
    int32_t whole = ssl_truncate(samples);
    if (whole >= DELAY_LIMIT_CAP) {
        return DELAY_LIMIT_CAP;
    }
    return whole <= -DELAY_LIMIT_CAP ? -DELAY_LIMIT_CAP : whole + 1;
}

float scaled_delay(int32_t max_delay, double cosine)
{
    return static_cast<float>(static_cast<double>(static_cast<float>(max_delay)) * cosine);
}

void place_microphones(SslHandle *h)
{
    float d = h->mic_distance;
    if (h->array_geometry == SSL_GEOMETRY_LINEAR) {
        for (int k = 0; k < SSL_MICS; ++k) {
            h->mic_pos[k] = SslPoint{d * LINE_OFFSETS[k], 0.0f};
        }
        return;
    }
    double r = static_cast<double>(d * 0.5f);
    for (int k = 0; k < SSL_MICS; ++k) {
        h->mic_pos[k] = SslPoint{static_cast<float>(r * CIRCLE_POINTS[k].x),
                                 static_cast<float>(r * CIRCLE_POINTS[k].y)};
    }
}

void baseline_limits(SslHandle *h)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        float dx = h->mic_pos[p + 1].x - h->mic_pos[0].x;
        float dy = h->mic_pos[p + 1].y - h->mic_pos[0].y;
        h->baseline[p] = SslPoint{dx, dy};
        float length = sqrtf(dx * dx + dy * dy);
        h->max_delay[p] =
            delay_limit(static_cast<float>(h->sample_rate) * (length / h->sound_speed));
    }
}

#if SSL_MIC_NUM > 2
void circle_table(SslHandle *h)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        for (int j = 0; j < SSL_DIRECTIONS; ++j) {
            int step = abs(j + CIRCLE_FIRST_STEP - CIRCLE_STEPS_PER_PAIR * p);
            h->delay_table[p][j] = scaled_delay(h->max_delay[p], DIRECTION_COS[step]);
        }
    }
}

// Least-squares inverse (B^T B)^-1 B^T of the baseline matrix B.
void least_squares_matrix(SslHandle *h)
{
    float sxx = 0.0f;
    float syy = 0.0f;
    float sxy = 0.0f;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        sxx += h->baseline[p].x * h->baseline[p].x;
        syy += h->baseline[p].y * h->baseline[p].y;
        sxy += h->baseline[p].x * h->baseline[p].y;
    }
    float det = sxx * syy - sxy * sxy;
    det = static_cast<float>(static_cast<double>(det) + DETERMINANT_GUARD);
    float a = syy / det;
    float b = -sxy / det;
    float e = sxx / det;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        h->lsq_matrix[0][p] = a * h->baseline[p].x + b * h->baseline[p].y;
        h->lsq_matrix[1][p] = b * h->baseline[p].x + e * h->baseline[p].y;
    }
}
#endif

// Two microphones on a circle lie on a line: their table is the linear one.
void delay_table(SslHandle *h)
{
#if SSL_MIC_NUM > 2
    if (h->array_geometry == SSL_GEOMETRY_CIRCULAR) {
        circle_table(h);
        return;
    }
#endif
    ssl_linear_table(h);
}

int32_t circle_params(SslHandle *h)
{
#if SSL_MIC_NUM > 2
    least_squares_matrix(h);
    return SSL_RET_OK;
#else
    (void)h;
    ssl_error("[%s] %s[SSL] [CalParams] Fail! Two microphone array must be linear. "
              "Please set shape to  0 !\t\n");
    return SSL_RET_GEOMETRY_NOT_LINEAR;
#endif
}

}  // namespace

void ssl_init_limits(SslHandle *h)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        float spacing = h->mic_distance * static_cast<float>(p + 1);
        h->max_delay[p] =
            delay_limit(spacing / h->sound_speed * static_cast<float>(h->sample_rate));
    }
}

void ssl_linear_table(SslHandle *h)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        for (int j = 0; j < SSL_DIRECTIONS; ++j) {
            h->delay_table[p][j] = scaled_delay(h->max_delay[p], DIRECTION_COS[j]);
        }
    }
}

int32_t IaaSsl_Set_Shape(SSL_HANDLE handle, int32_t array_geometry)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h != nullptr) {
        h->shape_state = SSL_BUSY;
    }
    int32_t rc = ssl_check_call(h, SET_SHAPE_RULES);
    if (rc != SSL_RET_OK) {
        return rc;
    }
    if (array_geometry != SSL_GEOMETRY_LINEAR && array_geometry != SSL_GEOMETRY_CIRCULAR) {
        ssl_error("[%s] %s[SSL] [SetShape] Fail! The array_geometry setting is not allow, "
                  "it should be 0 or 1 !!\r\n");
        return SSL_RET_INVALID_GEOMETRY;
    }
    h->array_geometry = array_geometry;
    place_microphones(h);
    baseline_limits(h);
    delay_table(h);
    h->shape_state = SSL_DONE;
    return SSL_RET_OK;
}

int32_t IaaSsl_Cal_Params(SSL_HANDLE handle)
{
    SslHandle *h = static_cast<SslHandle *>(handle);
    if (h != nullptr) {
        h->params_state = SSL_BUSY;
    }
    int32_t rc = ssl_check_call(h, CAL_PARAMS_RULES);
    if (rc == SSL_RET_OK && h->array_geometry == SSL_GEOMETRY_CIRCULAR) {
        rc = circle_params(h);
    }
    if (rc != SSL_RET_OK) {
        return rc;
    }
    h->params_state = SSL_DONE;
    return SSL_RET_OK;
}
