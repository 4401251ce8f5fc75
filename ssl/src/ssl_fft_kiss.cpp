// KissFFT backend of the spectral front end. A NEON backend replaces this file alone.
#include "ssl_fft.h"

#include <kiss_fftr.h>
#include <stdio.h>
#include <string.h>

static_assert(sizeof(SslComplex) == sizeof(kiss_fft_cpx), "bins must match the library's layout");

namespace {

constexpr uintptr_t CONFIG_ALIGN = 16;

// sin(pi * n / 256), n = 0..128: one half of the periodic sine window.
constexpr float SINE_WINDOW[SSL_FFT_SIZE / 2 + 1] = {
    0.0f, 0.0122715384f, 0.024541229f, 0.0368072242f, 0.0490676761f, 0.061320737f,
    0.0735645667f, 0.0857973099f, 0.0980171412f, 0.110222206f, 0.122410677f, 0.134580702f,
    0.146730468f, 0.15885815f, 0.170961887f, 0.183039889f, 0.195090324f, 0.207111374f,
    0.219101235f, 0.231058106f, 0.242980182f, 0.254865646f, 0.266712755f, 0.27851969f,
    0.290284663f, 0.302005947f, 0.313681751f, 0.32531029f, 0.336889863f, 0.348418683f,
    0.359895051f, 0.371317208f, 0.382683426f, 0.393992037f, 0.405241311f, 0.416429549f,
    0.427555084f, 0.438616246f, 0.449611336f, 0.460538715f, 0.471396744f, 0.482183784f,
    0.492898196f, 0.50353837f, 0.514102757f, 0.524589658f, 0.534997642f, 0.545324981f,
    0.555570245f, 0.565731823f, 0.575808167f, 0.585797846f, 0.59569931f, 0.605511069f,
    0.615231574f, 0.624859512f, 0.634393275f, 0.643831551f, 0.653172851f, 0.662415802f,
    0.671558976f, 0.680601001f, 0.689540565f, 0.698376238f, 0.707106769f, 0.715730846f,
    0.724247098f, 0.732654274f, 0.740951121f, 0.749136388f, 0.757208824f, 0.765167236f,
    0.773010433f, 0.780737221f, 0.78834641f, 0.795836926f, 0.803207517f, 0.81045717f,
    0.817584813f, 0.824589312f, 0.831469595f, 0.838224709f, 0.84485358f, 0.851355195f,
    0.857728601f, 0.863972843f, 0.870086968f, 0.876070082f, 0.881921291f, 0.887639642f,
    0.893224299f, 0.898674488f, 0.903989315f, 0.909168005f, 0.914209783f, 0.919113874f,
    0.923879504f, 0.928506076f, 0.932992816f, 0.937339008f, 0.941544056f, 0.945607305f,
    0.949528158f, 0.953306019f, 0.956940353f, 0.960430503f, 0.963776052f, 0.966976464f,
    0.970031261f, 0.972939968f, 0.975702107f, 0.97831738f, 0.980785251f, 0.983105481f,
    0.985277653f, 0.987301409f, 0.989176512f, 0.990902662f, 0.992479563f, 0.993906975f,
    0.99518472f, 0.996312618f, 0.997290432f, 0.998118103f, 0.99879545f, 0.999322355f,
    0.999698818f, 0.999924719f, 1.0f,
};

struct Window {
    float w[SSL_FFT_SIZE];
};

// The whole window spelled out from its symmetric half, so that applying it is one plain,
// vectorisable product.
constexpr Window full_window()
{
    Window window{};
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        window.w[n] = n <= SSL_FFT_SIZE / 2 ? SINE_WINDOW[n] : SINE_WINDOW[SSL_FFT_SIZE - n];
    }
    return window;
}

constexpr Window WINDOW = full_window();

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

int ssl_dsp_init()
{
    // KissFFT has no process-wide dispatch to select.
    return 0;
}

uint32_t ssl_fft_mem_size(uint32_t n)
{
    return 18 * n + 96 * (n / 32) + 652;
}

void ssl_fft_setup(SslFft *fft)
{
    if (fft == nullptr) {
        puts("[FFT]The handle is NULL");
        return;
    }
    if (fft->ready == 1) {
        puts("[FFT]Ne10 has init already");
        return;
    }
    if (fft->work == nullptr) {
        puts("[FFT] Please assigned the begining address about FFT workingbuffer in Init.");
        return;
    }
    uint32_t total = ssl_fft_mem_size(static_cast<uint32_t>(fft->size));
    char *cursor = static_cast<char *>(fft->work);
    char *end = cursor + total;
    memset(cursor, 0, total);
    fft->forward = build_config(fft->size, 0, &cursor, end);
    fft->inverse = build_config(fft->size, 1, &cursor, end);
    if (fft->forward == nullptr || fft->inverse == nullptr) {
        fft->forward = nullptr;
        fft->inverse = nullptr;
        puts("[Audio] memory malloc failed");
        return;
    }
    fft->ready = 1;
}

void ssl_fft_run(SslFft *fft, int n, int direction, float *io)
{
    if (fft == nullptr || fft->forward == nullptr) {
        puts("[Audio] Ne10_workingBufPtr is Null in fft");
        return;
    }
    size_t spectrum_bytes = static_cast<size_t>(n / 2 + 1) * sizeof(SslComplex);
    kiss_fft_cpx *bins = reinterpret_cast<kiss_fft_cpx *>(fft->bins);
    if (direction == SSL_FFT_FORWARD) {
        kiss_fftr(static_cast<kiss_fftr_cfg>(fft->forward), io, bins);
        memcpy(io, fft->bins, spectrum_bytes);
    } else if (direction == SSL_FFT_INVERSE) {
        memcpy(fft->bins, io, spectrum_bytes);
        memset(io, 0, static_cast<size_t>(n + 2) * sizeof(float));
        kiss_fftri(static_cast<kiss_fftr_cfg>(fft->inverse), bins, io);
    }
}

void ssl_fft_free(SslFft *fft)
{
    if (fft == nullptr) {
        puts("handle is NULL in FFT_Free!\t");
        return;
    }
    fft->ready = 0;
}

void ssl_window_apply(float *buf)
{
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        buf[n] *= WINDOW.w[n];
    }
}
