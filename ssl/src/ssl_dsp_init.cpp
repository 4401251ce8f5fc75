// Process-wide selection of the transform routines, done by every Init and Reset.
#include <stdio.h>

#include "ssl_fft_backend.h"

int ssl_dsp_init()
{
    if (!ssl_fft_select_routines()) {
        puts("init Ne10 DSP fail");
        puts("ERROR: init dsp failed");
        return -1;
    }
    return 0;
}
