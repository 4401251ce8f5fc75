// Spectral front end: windowing, set-up and the 256-point real transforms of one frame.
#ifndef SSL_FFT_H
#define SSL_FFT_H

#include <stdint.h>

constexpr int SSL_FFT_SIZE = 256;
constexpr int SSL_FFT_BINS = SSL_FFT_SIZE / 2 + 1;
constexpr int SSL_FFT_FORWARD = 1;
constexpr int SSL_FFT_INVERSE = -1;

struct SslComplex {
    float re;
    float im;
};

// Packed to 32-bit alignment: the caller aligns the working buffer only that far, and the
// pointers below would otherwise ask for 8 bytes on 64-bit hosts.
#pragma pack(push, 4)
struct SslFft {
    SslComplex bins[SSL_FFT_BINS];
    void *work;     // configuration memory inside the caller's working buffer
    void *forward;  // configurations built inside work
    void *inverse;
    int32_t ready;
    int32_t size;
};
#pragma pack(pop)

// Real in, 129 bins out (forward) or 129 bins in, real out (inverse); io holds n + 2 floats.
int ssl_dsp_init();
uint32_t ssl_fft_mem_size(uint32_t n);
void ssl_fft_setup(SslFft *fft);
void ssl_fft_run(SslFft *fft, int n, int direction, float *io);
void ssl_fft_free(SslFft *fft);
void ssl_window_apply(float *buf);
// The same window over 256 samples, written to out.
void ssl_window_into(const float *samples, float *out);

#endif
