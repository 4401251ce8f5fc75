// Cost of IaaSsl_Run per frame (four microphones, both modes) and of IaaSsl_Get_Direction,
// with the floor measured in the same run: the seven 256-point transforms of one frame.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "iaassl.h"
#include "ssl_fft_backend.h"
#include "ssl_handle.h"

namespace {

constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;
constexpr int FRAMES = 64;
constexpr int DECISION_FRAMES = 32;
constexpr int MIC_DELAYS[SSL_MICS] = {0, 1, 2, 3};
constexpr const char *FLOOR = "BM_TransformFloor";

// A broadband source reaching each microphone a whole number of samples later.
std::vector<int16_t> make_frames()
{
    std::mt19937 random(5);
    std::normal_distribution<double> normal(0.0, 3000.0);
    std::vector<int16_t> source(FRAMES * SSL_POINT_NUMBER + 8);
    for (int16_t &s : source) {
        s = static_cast<int16_t>(normal(random));
    }
    std::vector<int16_t> frames(static_cast<size_t>(FRAMES) * FRAME_SAMPLES);
    for (size_t n = 0; n < FRAMES * SSL_POINT_NUMBER; ++n) {
        for (int c = 0; c < SSL_MICS; ++c) {
            frames[n * SSL_MICS + static_cast<size_t>(c)] = source[n + 8 - MIC_DELAYS[c]];
        }
    }
    return frames;
}

// Set-up messages would drown the report.
template <typename F>
void quietly(F &&f)
{
    fflush(stdout);
    int saved = dup(1);
    FILE *null = fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    fclose(null);
}

struct Library {
    std::vector<uint64_t> memory;
    SSL_HANDLE handle = nullptr;
    bool ready = false;

    explicit Library(uint32_t bf_mode)
    {
        quietly([&] {
            memory.assign(IaaSsl_GetBufferSize() / sizeof(uint64_t) + 1, 0);
            SslInit init{SSL_POINT_NUMBER, 16000, 5.0f, bf_mode, SSL_MICS};
            SslConfig config{25, -80, DECISION_FRAMES};
            handle = IaaSsl_Init(reinterpret_cast<char *>(memory.data()), &init);
            ready = handle != nullptr && IaaSsl_Config(handle, &config) == SSL_RET_OK &&
                    IaaSsl_Set_Shape(handle, 0) == SSL_RET_OK &&
                    IaaSsl_Cal_Params(handle) == SSL_RET_OK;
        });
    }
    SslHandle &record() { return *static_cast<SslHandle *>(handle); }
};

// Figures of a library that does not find the delays it is fed would be worthless.
bool finds_delays(const int32_t (&delays)[SSL_PAIRS])
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        if (delays[p] != MIC_DELAYS[0] - MIC_DELAYS[p + 1]) {
            return false;
        }
    }
    return true;
}

void run_frames(benchmark::State &state, uint32_t bf_mode)
{
    Library lib(bf_mode);
    if (!lib.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    const std::vector<int16_t> frames = make_frames();
    int32_t delays[SSL_PAIRS] = {};
    size_t i = 0;
    for (auto _ : state) {
        IaaSsl_Run(lib.handle, &frames[i * FRAME_SAMPLES], delays);
        benchmark::DoNotOptimize(delays);
        i = (i + 1) % FRAMES;
    }
    if (!finds_delays(delays)) {
        state.SkipWithError("Run did not find the delays of the scene");
    }
}

void BM_RunDirectionFinding(benchmark::State &state)
{
    run_frames(state, 0);
}

void BM_RunDelaysOnly(benchmark::State &state)
{
    run_frames(state, 1);
}

void BM_GetDirection(benchmark::State &state)
{
    Library lib(0);
    if (!lib.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    const std::vector<int16_t> frames = make_frames();
    int32_t delays[SSL_PAIRS];
    for (int i = 0; i < DECISION_FRAMES; ++i) {
        IaaSsl_Run(lib.handle, &frames[static_cast<size_t>(i) * FRAME_SAMPLES], delays);
    }
    SslHandle &h = lib.record();
    const float energy = h.energy_acc;
    int32_t angle = SSL_NO_ANGLE;
    int32_t rc = SSL_RET_OK;
    for (auto _ : state) {
        // A decision turns the energy into a level and adds to the cosine sums: undo both so
        // that every iteration decides the same full window.
        h.energy_acc = energy;
        h.cos_sum = 0.0f;
        h.weight_sum = 0.0f;
        h.cos_estimate = 0.0f;
        rc = IaaSsl_Get_Direction(lib.handle, &angle);
        benchmark::DoNotOptimize(angle);
    }
    if (rc != SSL_RET_OK) {
        state.SkipWithError("no direction for the scene");
    }
    state.counters["angle"] = angle;
}

// Four forward and three inverse transforms with the configurations the library builds, on
// the data Run hands them: noise frames and unit-magnitude cross spectra.
void BM_TransformFloor(benchmark::State &state)
{
    // The front end linked here dispatches on its own, apart from the library's.
    if (ssl_dsp_init() != 0) {
        state.SkipWithError("no transform routines");
        return;
    }
    Library lib(0);
    const SslFft &fft = lib.record().fft;
    const std::vector<int16_t> frames = make_frames();
    std::vector<float> signal(SSL_FFT_SIZE);
    for (size_t n = 0; n < signal.size(); ++n) {
        signal[n] = static_cast<float>(frames[n * SSL_MICS]) / 32767.0f;
    }
    std::vector<SslComplex> phase(SSL_FFT_BINS);
    for (size_t k = 0; k < phase.size(); ++k) {
        phase[k] = SslComplex{cosf(0.1f * static_cast<float>(k)), -sinf(0.1f * static_cast<float>(k))};
    }
    std::vector<SslComplex> spectrum(SSL_FFT_BINS);
    std::vector<float> correlation(SSL_FFT_SIZE + 2);
    for (auto _ : state) {
        for (int k = 0; k < SSL_MICS; ++k) {
            ssl_fft_forward(&fft, signal.data(), spectrum.data());
            benchmark::DoNotOptimize(spectrum.data());
        }
        for (int p = 0; p < SSL_PAIRS; ++p) {
            ssl_fft_inverse(&fft, phase.data(), correlation.data());
            benchmark::DoNotOptimize(correlation.data());
        }
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_TransformFloor);
BENCHMARK(BM_RunDirectionFinding);
BENCHMARK(BM_RunDelaysOnly);
BENCHMARK(BM_GetDirection);

// Prints the usual table and keeps each benchmark's best CPU time per frame: the least
// disturbed repetition is the fairest figure on a shared machine.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) {
                failed_ = true;
            }
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.str();
            const double time = run.GetAdjustedCPUTime();
            auto known = times_.find(name);
            if (known == times_.end() || time < known->second) {
                times_[name] = time;
            }
        }
    }

    // False when a benchmark failed or the floor is missing, so that a broken run cannot pass
    // for a measured one.
    bool print_ratios() const
    {
        if (failed_) {
            printf("\nA benchmark failed its set-up checks; no ratios.\n");
            return false;
        }
        auto floor = times_.find(FLOOR);
        if (floor == times_.end() || floor->second <= 0.0) {
            printf("\nNo transform floor was measured; no ratios.\n");
            return false;
        }
        printf("\nBest CPU time per iteration and ratio to the transform floor (%s):\n", FLOOR);
        for (const auto &entry : times_) {
            printf("  %-24s %10.1f ns %6.2f\n", entry.first.c_str(), entry.second,
                   entry.second / floor->second);
        }
        return true;
    }

private:
    std::map<std::string, double> times_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool complete = reporter.print_ratios();
    benchmark::Shutdown();
    return complete ? 0 : 1;
}
