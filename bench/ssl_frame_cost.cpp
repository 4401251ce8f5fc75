// A fixed workload for counting instructions per frame under an emulator:
//   run FRAMES    IaaSsl_Run in direction finding, with Get_Direction and Reset_Mapping after
//                 every 32 frames;
//   floor FRAMES  the bare transforms of as many frames (one forward per microphone, one
//                 inverse per pair) on the configuration the library builds.
// Two lengths of the same workload differ by the frames alone: set-up and exit cancel out.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "iaassl.h"
#include "ssl_fft_backend.h"
#include "ssl_handle.h"

namespace {

constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;
constexpr int DECISION_FRAMES = 32;
constexpr int SOURCE_LEAD = 8;
// Input generated for the longest run the cost script asks for, whatever the run's length, so
// that generating it is part of the set-up that cancels out.
constexpr int INPUT_FRAMES = 64;
constexpr double SOURCE_LEVEL = 3000.0;

// Broadband noise that reaches microphone c c samples late: every pair has a clear lag.
std::vector<int16_t> make_frames(int frames)
{
    std::vector<int16_t> source(static_cast<size_t>(frames) * SSL_POINT_NUMBER + SOURCE_LEAD);
    unsigned state = 5;
    for (int16_t &s : source) {
        state = state * 1103515245u + 12345u;
        s = static_cast<int16_t>((static_cast<double>(state >> 16 & 0x7fff) / 16384.0 - 1.0) *
                                 SOURCE_LEVEL);
    }
    std::vector<int16_t> out(static_cast<size_t>(frames) * FRAME_SAMPLES);
    for (size_t n = 0; n < static_cast<size_t>(frames) * SSL_POINT_NUMBER; ++n) {
        for (int c = 0; c < SSL_MICS; ++c) {
            out[n * SSL_MICS + static_cast<size_t>(c)] = source[n + SOURCE_LEAD - static_cast<size_t>(c)];
        }
    }
    return out;
}

SSL_HANDLE ready_library(std::vector<uint64_t> &memory)
{
    memory.assign(IaaSsl_GetBufferSize() / sizeof(uint64_t) + 1, 0);
    SslInit init{SSL_POINT_NUMBER, 16000, 5.0f, 0, SSL_MICS};
    SslConfig config{25, -80, DECISION_FRAMES};
    SSL_HANDLE h = IaaSsl_Init(reinterpret_cast<char *>(memory.data()), &init);
    if (h == nullptr || IaaSsl_Config(h, &config) != SSL_RET_OK ||
        IaaSsl_Set_Shape(h, 0) != SSL_RET_OK || IaaSsl_Cal_Params(h) != SSL_RET_OK) {
        return nullptr;
    }
    return h;
}

// Fails unless the last frame found microphone 0 p + 1 samples early against microphone p + 1.
bool run(SSL_HANDLE h, int frames)
{
    const std::vector<int16_t> input = make_frames(INPUT_FRAMES);
    int32_t delays[SSL_PAIRS] = {};
    for (int i = 0; i < frames; ++i) {
        const size_t frame = static_cast<size_t>(i % INPUT_FRAMES) * FRAME_SAMPLES;
        if (IaaSsl_Run(h, &input[frame], delays) != SSL_RET_OK) {
            return false;
        }
        if ((i + 1) % DECISION_FRAMES == 0) {
            int32_t angle;
            IaaSsl_Get_Direction(h, &angle);
            IaaSsl_Reset_Mapping(h);
        }
    }
    for (int p = 0; p < SSL_PAIRS; ++p) {
        if (delays[p] != -(p + 1)) {
            return false;
        }
    }
    return true;
}

bool transforms(SSL_HANDLE h, int frames)
{
    // The front end linked here dispatches on its own, apart from the library's.
    if (ssl_dsp_init() != 0) {
        return false;
    }
    const SslFft &fft = static_cast<SslHandle *>(h)->fft;
    std::vector<float> signal(SSL_FFT_SIZE + 2);
    for (int n = 0; n < SSL_FFT_SIZE; ++n) {
        signal[static_cast<size_t>(n)] = static_cast<float>(sin(0.37 * n));
    }
    std::vector<SslComplex> spectrum(SSL_FFT_BINS);
    // The inverse may use its input as scratch; its instruction count does not depend on it.
    std::vector<SslComplex> phase(SSL_FFT_BINS, SslComplex{1.0f, 0.0f});
    std::vector<float> correlation(SSL_FFT_SIZE + 2);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < SSL_MICS; ++c) {
            ssl_fft_forward(&fft, signal.data(), spectrum.data());
        }
        for (int p = 0; p < SSL_PAIRS; ++p) {
            ssl_fft_inverse(&fft, phase.data(), correlation.data());
        }
    }
    return isfinite(correlation[0]) && spectrum[1].re != 0.0f;
}

}  // namespace

int main(int argc, char **argv)
{
    const int frames = argc == 3 ? atoi(argv[2]) : 0;
    const bool transforms_only = argc == 3 && strcmp(argv[1], "floor") == 0;
    if (frames <= 0 || (!transforms_only && strcmp(argv[1], "run") != 0)) {
        fprintf(stderr, "usage: %s run|floor FRAMES\n", argv[0]);
        return 2;
    }
    // The library's notes would only lengthen the count of the set-up.
    if (freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    std::vector<uint64_t> memory;
    SSL_HANDLE h = ready_library(memory);
    if (h == nullptr) {
        fprintf(stderr, "set-up failed\n");
        return 1;
    }
    if (!(transforms_only ? transforms(h, frames) : run(h, frames))) {
        fprintf(stderr, "%s gave wrong results\n", argv[1]);
        return 1;
    }
    return 0;
}
