// Random call sequences of the eleven IaaSsl_ functions on two guarded working buffers,
// every result checked against the call-order rules kept in a model of each handle.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fuzz_support.h"
#include "iaassl.h"

#ifndef SSL_MIC_NUM
#error "SSL_MIC_NUM must match the library build under test"
#endif

namespace {

constexpr int kMics = SSL_MIC_NUM;
constexpr int kPairs = kMics - 1;
constexpr int kFrame = 128;
constexpr int kMaxLag = 128;
constexpr int kBuffers = 2;
constexpr int kMaxCalls = 400;

enum State : int { kBusy = 0, kDone = 1, kNever = 2 };

// What the rules say about one working buffer, derived only from the calls made on it.
struct Model {
    bool live = false;
    uint32_t sampleRate = 0;
    uint32_t bfMode = 0;
    int geometry = 0;
    State config = kNever, shape = kNever, params = kNever, run = kNever, direction = kNever,
          voting = kNever;
    SslConfig settings{25, -80, 32};
};

#define FAIL_IF(cond, rc)       \
    do {                        \
        if (cond) return (rc);  \
    } while (0)

// Every needed operation must have completed (never run: order error; busy or failed:
// conflict), then none of the watched ones may be busy.
int32_t orderCode(std::initializer_list<const State*> needed,
                  std::initializer_list<const State*> watched)
{
    for (const State* flag : needed) {
        FAIL_IF(*flag == kNever, SSL_RET_CALL_ORDER_ERROR);
        FAIL_IF(*flag == kBusy, SSL_RET_API_CONFLICT);
    }
    for (const State* flag : watched) {
        FAIL_IF(*flag == kBusy, SSL_RET_API_CONFLICT);
    }
    return SSL_RET_OK;
}

void expectCode(const char* call, int32_t got, int32_t want)
{
    if (got != want) {
        std::fprintf(stderr, "%s returned 0x%x, the rules give 0x%x\n", call,
                     static_cast<unsigned>(got), static_cast<unsigned>(want));
        std::abort();
    }
}

bool supportedRate(uint32_t rate)
{
    return rate == 8000 || rate == 16000 || rate == 32000 || rate == 48000;
}

int32_t clampGate(int32_t gate)
{
    return gate < -80 ? -80 : (gate > 0 ? 0 : gate);
}

class Session {
public:
    explicit Session(FuzzedDataProvider& in) : in_(in)
    {
        size_ = IaaSsl_GetBufferSize();
        for (int b = 0; b < kBuffers; ++b) {
            buffers_[b] = std::make_unique<GuardedBlock>(size_, in_.ConsumeBool());
        }
        init_ = std::make_unique<GuardedBlock>(sizeof(SslInit), true);
        config_ = std::make_unique<GuardedBlock>(sizeof(SslConfig), true);
        samples_ = std::make_unique<GuardedBlock>(sizeof(int16_t) * kFrame * kMics, true);
        delays_ = std::make_unique<GuardedBlock>(sizeof(int32_t) * kPairs, true);
        angle_ = std::make_unique<GuardedBlock>(sizeof(int32_t), true);
    }

    void run()
    {
        for (int n = 0; n < kMaxCalls && in_.remaining_bytes() > 0; ++n) {
            step();
        }
    }

private:
    // -1 stands for a NULL handle.
    int pickBuffer() { return in_.ConsumeIntegralInRange(-1, kBuffers - 1); }
    char* address(int b) const { return b < 0 ? nullptr : buffers_[b]->data(); }

    const SslInit* makeInit()
    {
        if (in_.ConsumeIntegralInRange(0, 15) == 0) {
            return nullptr;
        }
        SslInit* init = init_->as<SslInit>();
        const bool plausible = in_.ConsumeIntegralInRange(0, 3) != 0;
        static constexpr uint32_t kRates[] = {8000, 16000, 32000, 48000};
        init->point_number = plausible ? kFrame : in_.ConsumeIntegral<uint32_t>();
        init->sample_rate = in_.ConsumeBool() ? kRates[in_.ConsumeIntegralInRange(0, 3)]
                                              : in_.ConsumeIntegral<uint32_t>();
        init->mic_distance = in_.ConsumeBool() ? in_.ConsumeFloatingPointInRange(0.0f, 30.0f)
                                               : in_.ConsumeFloatingPoint<float>();
        init->bf_mode = plausible ? in_.ConsumeIntegralInRange(0u, 1u)
                                  : in_.ConsumeIntegral<uint32_t>();
        init->mic_num = plausible ? kMics : in_.ConsumeIntegral<int32_t>();
        return init;
    }

    void start(int b, bool viaReset)
    {
        const SslInit* init = makeInit();
        SSL_HANDLE got = viaReset ? IaaSsl_Reset(address(b), init)
                                  : IaaSsl_Init(address(b), init);
        if (b < 0 || init == nullptr) {
            expectThat(got == nullptr, "Init/Reset with a NULL argument gives NULL");
            return;
        }
        Model& m = models_[b];
        const bool valid = init->point_number == kFrame && init->bf_mode <= 1 &&
                           init->mic_num == kMics;
        m = Model{};
        if (!valid) {
            expectThat(got == nullptr, "Init/Reset refuses an invalid ssl_init");
            return;
        }
        expectThat(got == address(b), "Init/Reset returns the buffer itself");
        m.live = true;
        m.sampleRate = init->sample_rate;
        m.bfMode = init->bf_mode;
    }

    static int32_t configCode(Model& m, bool handle, bool record)
    {
        if (handle) m.config = kBusy;
        FAIL_IF(!record, SSL_RET_INVALID_CONFIG);
        FAIL_IF(!handle || !m.live, SSL_RET_INVALID_HANDLE);
        const int32_t rc = orderCode({}, {&m.shape, &m.params, &m.direction, &m.voting});
        FAIL_IF(rc != SSL_RET_OK, rc);
        FAIL_IF(!supportedRate(m.sampleRate), SSL_RET_INVALID_SAMPLE_RATE);
        return SSL_RET_OK;
    }

    void config(int b)
    {
        SslConfig* record = nullptr;
        if (in_.ConsumeIntegralInRange(0, 15) != 0) {
            record = config_->as<SslConfig>();
            record->temperature = in_.ConsumeBool() ? static_cast<uint32_t>(in_.ConsumeIntegralInRange(-40, 60))
                                                    : in_.ConsumeIntegral<uint32_t>();
            record->noise_gate_dbfs = in_.ConsumeIntegralInRange(-200, 50);
            record->frames_per_decision = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0u, 96u)
                                                            : in_.ConsumeIntegral<uint32_t>();
        }
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        const int32_t want = configCode(m, b >= 0, record != nullptr);
        expectCode("IaaSsl_Config", IaaSsl_Config(address(b), record), want);
        if (want == SSL_RET_OK) {
            m.config = kDone;
            m.settings = SslConfig{record->temperature, clampGate(record->noise_gate_dbfs),
                                   record->frames_per_decision};
        }
    }

    void getConfig(int b)
    {
        SslConfig* out = in_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : config_->as<SslConfig>();
        int32_t want = SSL_RET_OK;
        if (out == nullptr) {
            want = SSL_RET_INVALID_CONFIG;
        } else if (b < 0 || !models_[b].live) {
            want = SSL_RET_INVALID_HANDLE;
        }
        expectCode("IaaSsl_Get_Config", IaaSsl_Get_Config(address(b), out), want);
        if (want == SSL_RET_OK) {
            const SslConfig& s = models_[b].settings;
            expectThat(out->temperature == s.temperature &&
                           out->noise_gate_dbfs == s.noise_gate_dbfs &&
                           out->frames_per_decision == s.frames_per_decision,
                       "Get_Config reads back what Config stored");
        }
    }

    void setShape(int b)
    {
        const int32_t geometry = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 1)
                                                   : in_.ConsumeIntegral<int32_t>();
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        const int32_t want = [&]() -> int32_t {
            if (b >= 0) m.shape = kBusy;
            FAIL_IF(b < 0 || !m.live, SSL_RET_INVALID_HANDLE);
            const int32_t rc =
                orderCode({&m.config}, {&m.params, &m.run, &m.direction, &m.voting});
            FAIL_IF(rc != SSL_RET_OK, rc);
            FAIL_IF(geometry != 0 && geometry != 1, SSL_RET_INVALID_GEOMETRY);
            return SSL_RET_OK;
        }();
        expectCode("IaaSsl_Set_Shape", IaaSsl_Set_Shape(address(b), geometry), want);
        if (want == SSL_RET_OK) {
            m.shape = kDone;
            m.geometry = geometry;
        }
    }

    void calParams(int b)
    {
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        const int32_t want = [&]() -> int32_t {
            if (b >= 0) m.params = kBusy;
            FAIL_IF(b < 0 || !m.live, SSL_RET_INVALID_HANDLE);
            const int32_t rc = orderCode({&m.config, &m.shape}, {&m.run, &m.direction, &m.voting});
            FAIL_IF(rc != SSL_RET_OK, rc);
            FAIL_IF(kMics == 2 && m.geometry == 1, SSL_RET_GEOMETRY_NOT_LINEAR);
            return SSL_RET_OK;
        }();
        expectCode("IaaSsl_Cal_Params", IaaSsl_Cal_Params(address(b)), want);
        if (want == SSL_RET_OK) {
            m.params = kDone;
        }
    }

    void fillSamples()
    {
        int16_t* s = samples_->as<int16_t>();
        const int pattern = in_.ConsumeIntegralInRange(0, 3);
        const int shift = in_.ConsumeIntegralInRange(-8, 8);
        for (int k = 0; k < kFrame; ++k) {
            for (int c = 0; c < kMics; ++c) {
                int16_t v = 0;
                switch (pattern) {
                case 0:  // raw bytes
                    v = in_.ConsumeIntegral<int16_t>();
                    break;
                case 1:  // one pulse train, shifted per microphone
                    v = ((k + c * shift) & 31) == 0 ? INT16_MAX : 0;
                    break;
                case 2:  // full-scale extremes
                    v = (k + c) % 2 == 0 ? INT16_MIN : INT16_MAX;
                    break;
                default:  // silence
                    break;
                }
                s[k * kMics + c] = v;
            }
        }
    }

    void run(int b)
    {
        const bool input = in_.ConsumeIntegralInRange(0, 15) != 0;
        const bool output = in_.ConsumeIntegralInRange(0, 15) != 0;
        if (input) {
            fillSamples();
        }
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        const int32_t want = [&]() -> int32_t {
            if (b >= 0) m.run = kBusy;
            FAIL_IF(!input || !output || b < 0 || !m.live, SSL_RET_INVALID_HANDLE);
            const int32_t rc = orderCode({&m.config, &m.shape, &m.params}, {});
            FAIL_IF(rc != SSL_RET_OK, rc);
            // A direction taken and not yet cleared blocks the next frame.
            FAIL_IF(m.direction == kDone, SSL_RET_API_CONFLICT);
            return orderCode({}, {&m.direction, &m.voting});
        }();
        int32_t* delays = delays_->as<int32_t>();
        const int32_t got = IaaSsl_Run(address(b), input ? samples_->as<int16_t>() : nullptr,
                                       output ? delays : nullptr);
        expectCode("IaaSsl_Run", got, want);
        if (want != SSL_RET_OK) {
            return;
        }
        m.run = kDone;
        for (int p = 0; p < kPairs; ++p) {
            const bool inRange = delays[p] >= -kMaxLag && delays[p] < kMaxLag;
            expectThat(m.bfMode == 0 ? inRange || delays[p] == SSL_DELAY_REJECTED : inRange,
                       "Run's delays are lags of the window or the rejection mark");
        }
    }

    void getDirection(int b)
    {
        int32_t* angle = in_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : angle_->as<int32_t>();
        if (angle != nullptr) {
            *angle = 12345;
        }
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        bool decided = false;
        const int32_t want = [&]() -> int32_t {
            FAIL_IF(b < 0 || angle == nullptr, SSL_RET_INVALID_HANDLE);
            m.direction = kBusy;
            FAIL_IF(!m.live, SSL_RET_INIT_ERROR);
            const int32_t rc =
                orderCode({&m.config, &m.shape, &m.params, &m.run}, {&m.voting});
            FAIL_IF(rc != SSL_RET_OK, rc);
            FAIL_IF(m.bfMode == 1, SSL_RET_INVALID_BF_MODE);
            decided = true;
            return SSL_RET_OK;
        }();
        const int32_t got = IaaSsl_Get_Direction(address(b), angle);
        if (!decided) {
            expectCode("IaaSsl_Get_Direction", got, want);
            if (angle != nullptr && b >= 0) {
                expectThat(*angle == SSL_NO_ANGLE, "a refused Get_Direction gives no angle");
            }
            return;
        }
        m.direction = kDone;
        if (got == SSL_RET_OK) {
            const int high = m.geometry == 1 && kMics > 2 ? 269 : 90;
            expectThat(*angle >= -90 && *angle <= high, "the angle lies in the array's range");
            return;
        }
        expectThat(got == SSL_RET_BELOW_NOISE_GATE || got == SSL_RET_NO_DIRECTION ||
                       got == SSL_RET_DELAY_TOO_LARGE,
                   "a decision fails only with a decision outcome");
        expectThat(*angle == SSL_NO_ANGLE, "a failed decision gives no angle");
    }

    void resetMapping(int b)
    {
        Model scratch;
        Model& m = b < 0 ? scratch : models_[b];
        const int32_t want = [&]() -> int32_t {
            FAIL_IF(b < 0, SSL_RET_INVALID_HANDLE);
            m.voting = kBusy;
            FAIL_IF(!m.live, SSL_RET_INIT_ERROR);
            const int32_t rc =
                orderCode({&m.config, &m.shape, &m.params, &m.run, &m.direction}, {});
            FAIL_IF(rc != SSL_RET_OK, rc);
            FAIL_IF(m.bfMode == 1, SSL_RET_INVALID_BF_MODE);
            return SSL_RET_OK;
        }();
        expectCode("IaaSsl_Reset_Mapping", IaaSsl_Reset_Mapping(address(b)), want);
        if (want == SSL_RET_OK) {
            m.direction = kNever;
            m.voting = kDone;
        }
    }

    void step()
    {
        const int op = in_.ConsumeIntegralInRange(0, 10);
        const int b = pickBuffer();
        switch (op) {
        case 0:
            expectThat(IaaSsl_GetBufferSize() == size_, "the buffer size never changes");
            break;
        case 1:
            start(b, false);
            break;
        case 2:
            start(b, true);
            break;
        case 3:
            config(b);
            break;
        case 4:
            getConfig(b);
            break;
        case 5:
            setShape(b);
            break;
        case 6:
            calParams(b);
            break;
        case 7:
            run(b);
            break;
        case 8:
            getDirection(b);
            break;
        case 9:
            resetMapping(b);
            break;
        default:
            expectCode("IaaSsl_Free", IaaSsl_Free(address(b)),
                       b < 0 ? SSL_RET_INVALID_HANDLE : SSL_RET_OK);
            break;
        }
    }

    FuzzedDataProvider& in_;
    uint32_t size_ = 0;
    std::unique_ptr<GuardedBlock> buffers_[kBuffers];
    Model models_[kBuffers];
    std::unique_ptr<GuardedBlock> init_, config_, samples_, delays_, angle_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Session session(in);
    session.run();
    return 0;
}
