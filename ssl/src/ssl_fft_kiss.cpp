// KissFFT under the front end, for hosts: a forward and an inverse configuration.
#include <kiss_fftr.h>

#include "ssl_fft_backend.h"

static_assert(sizeof(SslComplex) == sizeof(kiss_fft_cpx), "bins must match the library's layout");

namespace {

constexpr uintptr_t CONFIG_ALIGN = 16;

char *align_up(char *p)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return p + ((CONFIG_ALIGN - a % CONFIG_ALIGN) % CONFIG_ALIGN);
}

// Builds one configuration at *cursor; passing a length keeps KissFFT from allocating.
void *build_config(int size, int inverse, char **cursor, char *end)
{
    char *at = align_up(*cursor);
    if (at >= end) {
        return nullptr;
    }
    size_t len = static_cast<size_t>(end - at);
    void *cfg = kiss_fftr_alloc(size, inverse, at, &len);
    if (cfg != nullptr) {
        *cursor = at + len;
    }
    return cfg;
}

}  // namespace

bool ssl_fft_select_routines()
{
    // KissFFT has no process-wide dispatch to select.
    return true;
}

bool ssl_fft_build(SslFft *fft, char *area, size_t bytes)
{
    char *cursor = area;
    char *end = area + bytes;
    fft->forward = build_config(fft->size, 0, &cursor, end);
    fft->inverse = build_config(fft->size, 1, &cursor, end);
    return fft->forward != nullptr && fft->inverse != nullptr;
}

void ssl_fft_forward(const SslFft *fft, const float *real, SslComplex *bins)
{
    kiss_fftr(static_cast<kiss_fftr_cfg>(fft->forward), real,
              reinterpret_cast<kiss_fft_cpx *>(bins));
}

void ssl_fft_inverse(const SslFft *fft, SslComplex *bins, float *real)
{
    kiss_fftri(static_cast<kiss_fftr_cfg>(fft->inverse),
               reinterpret_cast<const kiss_fft_cpx *>(bins), real);
}
