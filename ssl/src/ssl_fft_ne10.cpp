// Ne10 under the front end, for ARM: NEON real transforms over a configuration that is built
// inside the caller's working buffer exactly as Ne10's own real-FFT allocator lays it out on
// the heap, so that nothing here allocates.
#include <NE10.h>
#include <dsp/NE10_fft.h>
#include <math.h>
#include <string.h>

#include "ssl_fft_backend.h"

static_assert(sizeof(SslComplex) == sizeof(ne10_fft_cpx_float32_t),
              "bins must match the library's layout");

namespace {

using Ne10Config = ne10_fft_r2c_state_float32_t;

// Ne10's NEON kernels load and store the real-valued side in 8-byte units; so does its
// allocator align the configuration and every table behind the state record.
constexpr uintptr_t NE10_ALIGN = NE10_FFT_BYTE_ALIGNMENT;
constexpr int FACTOR_WORDS = 2 * NE10_MAXFACTORS;
constexpr int TWIDDLE_RADIX = 4;
// The allocator's constants, rounded to single precision as it rounds them.
constexpr float MINUS_PI = -static_cast<float>(M_PI);
constexpr float MINUS_TWO_PI = 2.0f * MINUS_PI;

template <typename T>
T *align_up(void *p)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return reinterpret_cast<T *>(a + (NE10_ALIGN - a % NE10_ALIGN) % NE10_ALIGN);
}

bool aligned(const void *p)
{
    return reinterpret_cast<uintptr_t>(p) % NE10_ALIGN == 0;
}

// Where the tables of an n-point configuration sit, in the allocator's order.
struct Layout {
    Ne10Config *state;
    ne10_int32_t *factors;
    ne10_fft_cpx_float32_t *twiddles;
    ne10_fft_cpx_float32_t *super_twiddles;
    ne10_fft_cpx_float32_t *buffer;
    float *real_side;  // 8-aligned stand-in for a caller's array that is not
    char *end;
};

Layout layout_at(char *area, int n)
{
    const int ncfft = n / 2;
    Layout l;
    l.state = align_up<Ne10Config>(area);
    l.factors = align_up<ne10_int32_t>(l.state + 1);
    l.twiddles = reinterpret_cast<ne10_fft_cpx_float32_t *>(l.factors + FACTOR_WORDS);
    l.super_twiddles = l.twiddles + ncfft;
    l.buffer = l.super_twiddles + ncfft / 2;
    l.real_side = reinterpret_cast<float *>(l.buffer + n);
    l.end = reinterpret_cast<char *>(l.real_side + n);
    return l;
}

// The allocator's radix-4 twiddles of every stage after the first, with its arithmetic:
// phase = float(fstride * k) * -2pi * (1 / ncfft) * j, each product rounded to float.
void make_twiddles(const ne10_int32_t *factors, int ncfft, ne10_fft_cpx_float32_t *tw)
{
    const float inverse_size = 1.0f / static_cast<float>(ncfft);
    int fstride = factors[1];
    for (int stage = factors[0] - 1; stage > 0; --stage) {
        fstride /= TWIDDLE_RADIX;
        const int mstride = factors[2 * stage + 1];
        for (int k = 1; k < TWIDDLE_RADIX; ++k) {
            const float step = static_cast<float>(fstride * k) * MINUS_TWO_PI * inverse_size;
            for (int j = 0; j < mstride; ++j) {
                ne10_fft_cpx_float32_t &t = tw[mstride * (k - 1) + j];
                sincosf(step * static_cast<float>(j), &t.i, &t.r);
            }
        }
        tw += mstride * (TWIDDLE_RADIX - 1);
    }
}

// phase = (0.5 + (i + 1) * (1 / ncfft)) * -pi, rounded to float at each step.
void make_super_twiddles(int ncfft, ne10_fft_cpx_float32_t *tw)
{
    const float inverse_size = 1.0f / static_cast<float>(ncfft);
    for (int i = 0; i < ncfft / 2; ++i) {
        const float phase = (0.5f + static_cast<float>(i + 1) * inverse_size) * MINUS_PI;
        sincosf(phase, &tw[i].i, &tw[i].r);
    }
}

Ne10Config *config_of(const SslFft *fft)
{
    return static_cast<Ne10Config *>(fft->forward);
}

float *real_side_of(const SslFft *fft)
{
    return layout_at(static_cast<char *>(fft->work), fft->size).real_side;
}

}  // namespace

bool ssl_fft_select_routines()
{
    // The build requires NEON, so the NEON routines are selected without asking the CPU.
    return ne10_init_dsp(NE10_OK) == NE10_OK;
}

// The transforms work on halves of the real input as complex pairs: an even size whose half
// Ne10 factors into radix 2 and 4 only, as its NEON kernels and these twiddles require.
bool ssl_fft_build(SslFft *fft, char *area, size_t bytes)
{
    const int n = fft->size;
    if (n < 2 * TWIDDLE_RADIX || n % 2 != 0) {
        return false;
    }
    const Layout l = layout_at(area, n);
    if (l.end > area + bytes) {
        return false;
    }
    const int ncfft = n / 2;
    if (ne10_factor(ncfft, l.factors, NE10_FACTOR_DEFAULT) != NE10_OK ||
        l.factors[2 * (l.factors[0] + 1)] != NE10_FFT_ALG_24) {
        return false;
    }
    l.state->buffer = l.buffer;
    l.state->ncfft = ncfft;
    l.state->factors = l.factors;
    l.state->twiddles = l.twiddles;
    l.state->super_twiddles = l.super_twiddles;
    make_twiddles(l.factors, ncfft, l.twiddles);
    make_super_twiddles(ncfft, l.super_twiddles);
    fft->forward = l.state;
    fft->inverse = l.state;
    return true;
}

void ssl_fft_forward(const SslFft *fft, const float *real, SslComplex *bins)
{
    float *input = const_cast<float *>(real);
    if (!aligned(real)) {
        input = real_side_of(fft);
        memcpy(input, real, static_cast<size_t>(fft->size) * sizeof(float));
    }
    ne10_fft_r2c_1d_float32(reinterpret_cast<ne10_fft_cpx_float32_t *>(bins), input,
                            config_of(fft));
}

void ssl_fft_inverse(const SslFft *fft, SslComplex *bins, float *real)
{
    float *output = aligned(real) ? real : real_side_of(fft);
    ne10_fft_c2r_1d_float32(output, reinterpret_cast<ne10_fft_cpx_float32_t *>(bins),
                            config_of(fft));
    if (output != real) {
        memcpy(real, output, static_cast<size_t>(fft->size) * sizeof(float));
    }
}
