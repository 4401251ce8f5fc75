// NEON loops of one frame, for ARM builds. GCC keeps float loops scalar on ARMv7 NEON (whose
// float arithmetic flushes denormals), so the vectors are spelled out here. Products, sums and
// differences round as the portable ones do; only sums over a whole row change order.
#include <arm_neon.h>
#include <math.h>

#include "ssl_kernels.h"

namespace {

constexpr int LANES = 4;
// x / 32767 is x * 2^-15 + x * SCALE_REST for every 16-bit x, rounded as the division rounds.
constexpr float SCALE_HEAD = 0x1.0p-15f;
constexpr float SCALE_REST = 0x1.0002p-30f;
constexpr int SAMPLES_PER_LOAD = 8;

// GCC turns NEON float multiplies of a vector by a scalar, and float comparisons, into
// scalar code unless told to ignore IEEE rules; only full-vector products and the builtin
// operations below stay vectors.
struct Scale {
    float32x4_t head = vdupq_n_f32(SCALE_HEAD);
    float32x4_t rest = vdupq_n_f32(SCALE_REST);

    float32x4_t of(int16x4_t x) const
    {
        const float32x4_t f = vcvtq_f32_s32(vmovl_s16(x));
        return vmlaq_f32(vmulq_f32(f, head), f, rest);
    }

    void store(int16x8_t x, float *out) const
    {
        vst1q_f32(out, of(vget_low_s16(x)));
        vst1q_f32(out + LANES, of(vget_high_s16(x)));
    }
};

inline float sum_lanes(float32x4_t v)
{
    const float32x2_t pair = vadd_f32(vget_low_f32(v), vget_high_f32(v));
    return vget_lane_f32(vpadd_f32(pair, pair), 0);
}

// The highest of the lanes' highest values and, among the lanes that hold it, the lowest
// position: the first occurrence in the row.
void reduce_top(float32x4_t top, uint32x4_t position, SslPeak &peak)
{
    float tops[LANES];
    uint32_t positions[LANES];
    vst1q_f32(tops, top);
    vst1q_u32(positions, position);
    peak.top = tops[0];
    peak.position = static_cast<int>(positions[0]);
    for (int l = 1; l < LANES; ++l) {
        const int p = static_cast<int>(positions[l]);
        if (tops[l] > peak.top || (tops[l] == peak.top && p < peak.position)) {
            peak.top = tops[l];
            peak.position = p;
        }
    }
}

// Lane l scans the positions l, l + 4, ...; each keeps its first highest value. A value is
// higher when the maximum moves, compared as bits. That takes +0 above -0, unlike the scalar
// comparison, but a highest value of zero is never prominent: the frame is rejected wherever
// that zero lies.
SslPeak scan_row(const float *row)
{
    const uint32x4_t step = vdupq_n_u32(LANES);
    const uint32_t first[LANES] = {0, 1, 2, 3};
    uint32x4_t index = vld1q_u32(first);
    uint32x4_t position = index;
    float32x4_t g = vld1q_f32(row);
    float32x4_t top = g;
    float32x4_t bottom = g;
    float32x4_t abs_sum = vabsq_f32(g);
#pragma GCC unroll 2
    for (int j = LANES; j < SSL_FFT_SIZE; j += LANES) {
        g = vld1q_f32(row + j);
        index = vaddq_u32(index, step);
        const float32x4_t highest = vmaxq_f32(top, g);
        const uint32x4_t kept = vceqq_u32(vreinterpretq_u32_f32(highest), vreinterpretq_u32_f32(top));
        position = vbslq_u32(kept, position, index);
        top = highest;
        bottom = vminq_f32(bottom, g);
        abs_sum = vaddq_f32(abs_sum, vabsq_f32(g));
    }
    SslPeak peak;
    reduce_top(top, position, peak);
    const float32x2_t low = vpmin_f32(vget_low_f32(bottom), vget_high_f32(bottom));
    peak.bottom = vget_lane_f32(vpmin_f32(low, low), 0);
    peak.abs_sum = sum_lanes(abs_sum);
    return peak;
}

}  // namespace

void ssl_scale_channels(const int16_t *input, int channels, int frames, float *const *out)
{
    const Scale scale;
    int k = 0;
    if (channels == 4) {
        for (; k + SAMPLES_PER_LOAD <= frames; k += SAMPLES_PER_LOAD) {
            const int16x8x4_t x = vld4q_s16(input + k * 4);
            scale.store(x.val[0], out[0] + k);
            scale.store(x.val[1], out[1] + k);
            scale.store(x.val[2], out[2] + k);
            scale.store(x.val[3], out[3] + k);
        }
    } else if (channels == 2) {
        for (; k + SAMPLES_PER_LOAD <= frames; k += SAMPLES_PER_LOAD) {
            const int16x8x2_t x = vld2q_s16(input + k * 2);
            scale.store(x.val[0], out[0] + k);
            scale.store(x.val[1], out[1] + k);
        }
    }
    for (; k < frames; ++k) {
        for (int c = 0; c < channels; ++c) {
            out[c][k] = static_cast<float>(input[k * channels + c]) / SSL_FULL_SCALE;
        }
    }
}

// A four-way load and the matching store undo each other's interleaving: one instruction
// moves eight floats. Sixty-four floats per pass keep the loop's own instructions few.
void ssl_copy(float *dst, const float *src, int count)
{
    constexpr int BLOCK = 4 * LANES;
    int n = 0;
    for (; n + 4 * BLOCK <= count; n += 4 * BLOCK) {
        const float32x4x4_t a = vld4q_f32(src + n);
        const float32x4x4_t b = vld4q_f32(src + n + BLOCK);
        const float32x4x4_t c = vld4q_f32(src + n + 2 * BLOCK);
        const float32x4x4_t d = vld4q_f32(src + n + 3 * BLOCK);
        vst4q_f32(dst + n, a);
        vst4q_f32(dst + n + BLOCK, b);
        vst4q_f32(dst + n + 2 * BLOCK, c);
        vst4q_f32(dst + n + 3 * BLOCK, d);
    }
    for (; n + BLOCK <= count; n += BLOCK) {
        vst4q_f32(dst + n, vld4q_f32(src + n));
    }
    for (; n < count; ++n) {
        dst[n] = src[n];
    }
}

// Both operands interleaved alike, so the products land where a plain loop puts them.
inline void multiply_block(const float *in, const float *by, float *out)
{
    const float32x4x4_t a = vld4q_f32(in);
    const float32x4x4_t b = vld4q_f32(by);
    const float32x4x4_t product = {{vmulq_f32(a.val[0], b.val[0]), vmulq_f32(a.val[1], b.val[1]),
                                    vmulq_f32(a.val[2], b.val[2]), vmulq_f32(a.val[3], b.val[3])}};
    vst4q_f32(out, product);
}

void ssl_multiply(const float *in, const float *by, float *out, int count)
{
    constexpr int BLOCK = 4 * LANES;
    int n = 0;
    for (; n + 2 * BLOCK <= count; n += 2 * BLOCK) {
        multiply_block(in + n, by + n, out + n);
        multiply_block(in + n + BLOCK, by + n + BLOCK, out + n + BLOCK);
    }
    for (; n + BLOCK <= count; n += BLOCK) {
        multiply_block(in + n, by + n, out + n);
    }
    for (; n < count; ++n) {
        out[n] = in[n] * by[n];
    }
}

// Halving is exact, so it is left to the total; sixteen samples of each microphone per pass.
float ssl_add_energy(float energy, const float *x0, const float *x1, int count)
{
    constexpr int BLOCK = 4 * LANES;
    float32x4_t sum = vdupq_n_f32(0.0f);
    int n = 0;
    for (; n + BLOCK <= count; n += BLOCK) {
        const float32x4x4_t a = vld4q_f32(x0 + n);
        const float32x4x4_t b = vld4q_f32(x1 + n);
        sum = vmlaq_f32(vmlaq_f32(sum, a.val[0], a.val[0]), b.val[0], b.val[0]);
        sum = vmlaq_f32(vmlaq_f32(sum, a.val[1], a.val[1]), b.val[1], b.val[1]);
        sum = vmlaq_f32(vmlaq_f32(sum, a.val[2], a.val[2]), b.val[2], b.val[2]);
        sum = vmlaq_f32(vmlaq_f32(sum, a.val[3], a.val[3]), b.val[3], b.val[3]);
    }
    float rest = 0.0f;
    for (; n < count; ++n) {
        rest += x0[n] * x0[n] + x1[n] * x1[n];
    }
    return energy + (sum_lanes(sum) + rest) * 0.5f;
}

// Products of four bins at once; then, per bin, the square root and the double-precision
// scaling that NEON lacks, over the stored products.
void ssl_phase_transform(const SslComplex *ref, const SslComplex *pair, SslComplex *cross,
                         float *magnitude, int bins)
{
    int k = 0;
    for (; k + LANES <= bins; k += LANES) {
        const float32x4x2_t a = vld2q_f32(&ref[k].re);
        const float32x4x2_t b = vld2q_f32(&pair[k].re);
        float32x4x2_t c;
        c.val[0] = vmlaq_f32(vmulq_f32(a.val[0], b.val[0]), a.val[1], b.val[1]);
        c.val[1] = vmlsq_f32(vmulq_f32(a.val[1], b.val[0]), a.val[0], b.val[1]);
        vst2q_f32(&cross[k].re, c);
        vst1q_f32(magnitude + k, vmlaq_f32(vmulq_f32(c.val[0], c.val[0]), c.val[1], c.val[1]));
    }
    const int vector_bins = k;
    for (; k < bins; ++k) {
        ssl_phase_bin(ref[k], pair[k], cross[k], magnitude[k]);
    }
    // Two bins per pass halve the loop's own instructions.
#pragma GCC unroll 2
    for (k = 0; k < vector_bins; ++k) {
        magnitude[k] = sqrtf(magnitude[k]);
        cross[k] = ssl_phat(cross[k], magnitude[k]);
    }
}

void ssl_find_peaks(const float *rows, int count, SslPeak *peaks)
{
    for (int p = 0; p < count; ++p) {
        peaks[p] = scan_row(rows + p * SSL_FFT_SIZE);
    }
}
