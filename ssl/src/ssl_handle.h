// The handle record that sits at the start of the caller's working buffer.
#ifndef SSL_HANDLE_H
#define SSL_HANDLE_H

#include <stddef.h>
#include <stdint.h>

#include "iaassl.h"
#include "ssl_fft.h"

#ifndef SSL_MIC_NUM
#error "SSL_MIC_NUM (microphones of this build) must be defined"
#endif

constexpr int SSL_MICS = SSL_MIC_NUM;
constexpr int SSL_PAIRS = SSL_MICS - 1;
constexpr uint32_t SSL_POINT_NUMBER = 128;
constexpr uint32_t SSL_MARKER = 0x30513057;
constexpr int SSL_DIRECTIONS = 9;
constexpr int SSL_VOTE_SLOTS = SSL_DIRECTIONS + 1;
constexpr int SSL_REJECT_SLOT = SSL_DIRECTIONS;
// The time-domain search needs at least one overlapping sample of the two frames.
constexpr int SSL_MAX_SEARCH_LAG = static_cast<int>(SSL_POINT_NUMBER) - 1;

constexpr int32_t SSL_GEOMETRY_LINEAR = 0;
constexpr int32_t SSL_GEOMETRY_CIRCULAR = 1;

// Sequencing flag values.
constexpr int32_t SSL_BUSY = 0;
constexpr int32_t SSL_DONE = 1;
constexpr int32_t SSL_NEVER = 2;

struct SslPoint {
    float x;
    float y;
};

struct SslHandle {
    uint32_t marker;
    uint32_t point_number;
    uint32_t sample_rate;
    float mic_distance;
    uint32_t temperature;
    int32_t noise_gate_dbfs;
    uint32_t frames_per_decision;
    uint32_t bf_mode;
    int32_t mic_num;
    SslPoint mic_pos[SSL_MICS];
    SslPoint baseline[SSL_PAIRS];
#if SSL_MIC_NUM > 2
    float lsq_matrix[2][SSL_PAIRS];
#endif
    int32_t array_geometry;
    float frame_buf[SSL_MICS][SSL_POINT_NUMBER];
    float window_buf[SSL_MICS][SSL_FFT_SIZE];
    SslComplex spec_ref[SSL_FFT_BINS];
    SslComplex spec_pair[SSL_FFT_BINS];
    SslComplex cross_spec[SSL_FFT_BINS];
    float cross_mag[SSL_FFT_BINS];
    float gcc[SSL_FFT_SIZE];
    // One per pair, so that the pairs' peak scans can run side by side.
    float gcc_shifted[SSL_PAIRS][SSL_FFT_SIZE];
    int32_t lag_index[SSL_FFT_SIZE];
    float sound_speed;
    float energy_acc;
    int32_t max_delay[SSL_PAIRS];
    int32_t vote_count[SSL_PAIRS][SSL_VOTE_SLOTS];
    float delay_table[SSL_PAIRS][SSL_DIRECTIONS];
    int32_t init_state;
    int32_t config_state;
    int32_t shape_state;
    int32_t params_state;
    int32_t run_state;
    int32_t direction_state;
    int32_t voting_state;
    float lag_sum[SSL_PAIRS][SSL_DIRECTIONS];
    // Ne10 moves real samples in 8-byte units: on a buffer aligned that far (as malloc gives
    // it) the transforms work on fft_io in place. The record itself asks for 32-bit alignment
    // only, as the caller's buffer may have no more.
    int32_t fft_io_pad;
    float fft_io[SSL_FFT_SIZE + 2];
    SslFft fft;
    int32_t best_bin[SSL_PAIRS];
    float path_diff[SSL_PAIRS];
    float path_limit[SSL_PAIRS];
    int32_t pair_valid[SSL_PAIRS];
    int32_t vote_threshold[SSL_VOTE_SLOTS];
    float pair_cos[SSL_PAIRS];
    float cos_sum;
    float cos_mean;
    float pair_weight[SSL_PAIRS];
    float weight_sum;
    float cos_estimate;
    SslPoint dir_vector;
    float asdf_score[2 * SSL_MAX_SEARCH_LAG + 1];
};

static_assert(offsetof(SslHandle, fft_io) % 8 == 0, "fft_io must sit on an 8-byte boundary");

// The FFT configuration memory follows the record and aligns itself.
constexpr uint32_t SSL_HANDLE_BYTES = sizeof(SslHandle);

#endif
