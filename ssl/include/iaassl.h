/* Sound source localisation over a small microphone array.
 * The caller owns all memory: ask IaaSsl_GetBufferSize, allocate that many bytes (aligned for
 * 32-bit values), and pass the buffer to IaaSsl_Init; the returned handle is that buffer. */
#ifndef IAASSL_H
#define IAASSL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IAASSL_API __attribute__((visibility("default")))

typedef void *SSL_HANDLE;

typedef struct {
    uint32_t point_number; /* samples per channel per frame, must be 128 */
    uint32_t sample_rate;  /* Hz */
    float mic_distance;    /* cm; diameter for the circular array */
    uint32_t bf_mode;      /* 0 direction finding, 1 delays only */
    int32_t mic_num;
} SslInit;

typedef struct {
    uint32_t temperature;         /* degrees Celsius, read as a signed value */
    int32_t noise_gate_dbfs;      /* clamped to -80..0 */
    uint32_t frames_per_decision;
} SslConfig;

#define SSL_RET_OK                  ((int32_t)0)
#define SSL_RET_INIT_ERROR          ((int32_t)0x10000101)
#define SSL_RET_INVALID_CONFIG      ((int32_t)0x10000102)
#define SSL_RET_INVALID_HANDLE      ((int32_t)0x10000103)
#define SSL_RET_INVALID_SAMPLE_RATE ((int32_t)0x10000104)
#define SSL_RET_INVALID_POINT_NUMBER ((int32_t)0x10000105)
#define SSL_RET_INVALID_BF_MODE     ((int32_t)0x10000106)
#define SSL_RET_DELAY_TOO_LARGE     ((int32_t)0x10000107)
#define SSL_RET_CALL_ORDER_ERROR    ((int32_t)0x10000108)
#define SSL_RET_API_CONFLICT        ((int32_t)0x10000109)
#define SSL_RET_INVALID_MIC_NUM     ((int32_t)0x10000110)
#define SSL_RET_INVALID_GEOMETRY    ((int32_t)0x10000111)
#define SSL_RET_GEOMETRY_NOT_LINEAR ((int32_t)0x10000112)
#define SSL_RET_BELOW_NOISE_GATE    ((int32_t)0x10000113)
#define SSL_RET_NO_DIRECTION        ((int32_t)0x10000114)

#define SSL_DELAY_REJECTED ((int32_t)-32768)
#define SSL_NO_ANGLE       ((int32_t)-10000)

IAASSL_API uint32_t IaaSsl_GetBufferSize(void);
IAASSL_API SSL_HANDLE IaaSsl_Init(char *working_buffer, const SslInit *ssl_init);
IAASSL_API SSL_HANDLE IaaSsl_Reset(SSL_HANDLE handle, const SslInit *ssl_init);
IAASSL_API int32_t IaaSsl_Config(SSL_HANDLE handle, const SslConfig *ssl_config);
IAASSL_API int32_t IaaSsl_Get_Config(SSL_HANDLE handle, SslConfig *ssl_config);
IAASSL_API int32_t IaaSsl_Set_Shape(SSL_HANDLE handle, int32_t array_geometry);
IAASSL_API int32_t IaaSsl_Cal_Params(SSL_HANDLE handle);
IAASSL_API int32_t IaaSsl_Run(SSL_HANDLE handle, const int16_t *microphone_input,
                              int32_t *delay_sample);
IAASSL_API int32_t IaaSsl_Get_Direction(SSL_HANDLE handle, int32_t *angle);
IAASSL_API int32_t IaaSsl_Reset_Mapping(SSL_HANDLE handle);
IAASSL_API int32_t IaaSsl_Free(SSL_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif
