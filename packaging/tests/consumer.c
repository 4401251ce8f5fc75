/* Built against an installed tree: one decision window of a broadside source must give 0 degrees. */
#include <iaassl.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    char *buffer = malloc(IaaSsl_GetBufferSize());
    const SslInit init = {128, 16000, 5.0f, 0, MICS};
    const SslConfig config = {25, -80, 32};
    SSL_HANDLE handle = IaaSsl_Init(buffer, &init);
    if (!handle || IaaSsl_Config(handle, &config) || IaaSsl_Set_Shape(handle, 0) ||
        IaaSsl_Cal_Params(handle)) {
        fprintf(stderr, "set-up failed\n");
        return 1;
    }
    int16_t frame[128 * MICS];
    int32_t delays[MICS - 1];
    unsigned seed = 1;
    for (int f = 0; f < 32; ++f) {
        for (int n = 0; n < 128; ++n) {
            seed = seed * 1103515245u + 12345u;
            for (int m = 0; m < MICS; ++m) frame[n * MICS + m] = (int16_t)((seed >> 16) % 8000 - 4000);
        }
        if (IaaSsl_Run(handle, frame, delays)) return 1;
    }
    int32_t angle = SSL_NO_ANGLE;
    const int32_t code = IaaSsl_Get_Direction(handle, &angle);
    IaaSsl_Free(handle);
    free(buffer);
    printf("consumer: code %d angle %d\n", (int)code, (int)angle);
    return code == SSL_RET_OK && angle == 0 ? 0 : 1;
}
