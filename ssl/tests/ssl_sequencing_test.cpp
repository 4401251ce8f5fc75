// Call order: every operation against every flag state it tests, with exact message and code.
#include <gtest/gtest.h>

#include <functional>
#include <type_traits>
#include <vector>

#include "ssl_test_support.h"

namespace {

using Op = std::function<int32_t(SSL_HANDLE)>;
using Flag = int32_t SslHandle::*;
using Mutation = std::function<void(SslHandle &)>;

template <typename T>
Mutation set(T SslHandle::*field, std::common_type_t<T> value)
{
    return [field, value](SslHandle &h) { h.*field = value; };
}

struct Refusal {
    Mutation apply;
    const char *text;
    int32_t code;
};

constexpr int32_t ORDER = SSL_RET_CALL_ORDER_ERROR;
constexpr int32_t BUSY = SSL_RET_API_CONFLICT;

const int16_t SILENCE[SSL_POINT_NUMBER * SSL_MICS] = {};

int32_t run_silence(SSL_HANDLE h)
{
    int32_t delays[SSL_PAIRS];
    return IaaSsl_Run(h, SILENCE, delays);
}

int32_t get_direction(SSL_HANDLE h)
{
    int32_t angle = 0;
    return IaaSsl_Get_Direction(h, &angle);
}

int32_t config(SSL_HANDLE h)
{
    SslConfig c = make_config();
    return IaaSsl_Config(h, &c);
}

// A handle on which op would succeed: set up, one Run, and a direction taken when needed.
SSL_HANDLE base_handle(char *buffer, bool direction_taken)
{
    SSL_HANDLE h = ready_handle(buffer, make_init());
    StdoutCapture quiet;
    EXPECT_EQ(run_silence(h), SSL_RET_OK);
    if (direction_taken) {
        EXPECT_EQ(get_direction(h), SSL_RET_BELOW_NOISE_GATE);
    }
    return h;
}

void expect_refusals(const Op &op, Flag own, bool direction_taken,
                     const std::vector<Refusal> &refusals)
{
    for (const Refusal &r : refusals) {
        WorkBuffer buffer;
        SSL_HANDLE h = base_handle(buffer.bytes(), direction_taken);
        r.apply(buffer.record());
        int32_t code = 0;
        std::string out = captured([&] { code = op(h); });
        EXPECT_EQ(out, error_line(r.text));
        EXPECT_EQ(code, r.code) << r.text;
        EXPECT_EQ(buffer.record().*own, SSL_BUSY) << r.text;
    }
}

void expect_accepted(const Op &op, bool direction_taken)
{
    WorkBuffer buffer;
    SSL_HANDLE h = base_handle(buffer.bytes(), direction_taken);
    StdoutCapture quiet;
    EXPECT_EQ(op(h), SSL_RET_OK);
}

TEST(CallOrder, ConfigRefusesBusyOperations)
{
    expect_accepted(config, false);
    expect_refusals(config, &SslHandle::config_state, false, {
        {set(&SslHandle::init_state, 0), " [SSL] [Config] Fail! Please call IaaSsl_Init first!\t\n",
         SSL_RET_INIT_ERROR},
        {set(&SslHandle::shape_state, 0), " [SSL] [Config] Fail! SetShape is being called\t\n", BUSY},
        {set(&SslHandle::params_state, 0), " [SSL] [Config] Fail! ParamsCal is being called\t\n", BUSY},
        {set(&SslHandle::direction_state, 0), " [SSL] [Config] Fail! GetDirection is being called\t\n",
         BUSY},
        {set(&SslHandle::voting_state, 0), " [SSL] [Config] Fail! ResetVoting is being called\t\n", BUSY},
        {set(&SslHandle::marker, 0), " [SSL] [Config] Fail! The handle pointer seems invalid\t\n",
         SSL_RET_INVALID_HANDLE},
    });
}

TEST(CallOrder, SetShapeNeedsConfig)
{
    const Op op = [](SSL_HANDLE h) { return IaaSsl_Set_Shape(h, 0); };
    expect_accepted(op, false);
    expect_refusals(op, &SslHandle::shape_state, false, {
        {set(&SslHandle::marker, 1),
         " [SSL] [SetShape] Fail! The handle pointer seems invalid in IaaSsl_Set_Shape \t\n",
         SSL_RET_INVALID_HANDLE},
        {set(&SslHandle::init_state, 2), "[SSL] [SetShape] Fail! Please call IaaSsl_Init first!\t\n",
         SSL_RET_INIT_ERROR},
        {set(&SslHandle::config_state, 2),
         " [SSL] [SetShape] Fail! Config must called before SetShape.\t\n", ORDER},
        {set(&SslHandle::config_state, 0), " [SSL] [SetShape] Fail! Config is being called\t\n", BUSY},
        {set(&SslHandle::params_state, 0), " [SSL] [SetShape] Fail! ParamsCal is being called\t\n",
         BUSY},
        {set(&SslHandle::run_state, 0), " [SSL] [SetShape] Fail! Run is being called\t\n", BUSY},
        {set(&SslHandle::direction_state, 0),
         " [SSL] [SetShape] Fail! GetDirection is being called\t\n", BUSY},
        {set(&SslHandle::voting_state, 0), " [SSL] [SetShape] Fail! ResetVoting is being called\t\n",
         BUSY},
    });
}

TEST(CallOrder, CalParamsNeedsConfigAndShape)
{
    expect_accepted(IaaSsl_Cal_Params, false);
    expect_refusals(IaaSsl_Cal_Params, &SslHandle::params_state, false, {
        {set(&SslHandle::marker, 7),
         " [SSL] [CalParams] Fail!The handle pointer seems invalid in IaaSsl_Cal_Params \t\n",
         SSL_RET_INVALID_HANDLE},
        {set(&SslHandle::init_state, 0), "[SSL] [CalParams] Fail! Please call IaaSsl_Init first!\t\n",
         SSL_RET_INIT_ERROR},
        {set(&SslHandle::config_state, 2),
         " [SSL] [CalParams] Fail! Config must called before MatrixCal.\t\n", ORDER},
        {set(&SslHandle::config_state, 0), " [SSL] [CalParams] Fail! Config is being called\t\n", BUSY},
        {set(&SslHandle::shape_state, 2),
         " [SSL] [CalParams] Fail! SetShape must called before MatrixCal.\t\n", ORDER},
        {set(&SslHandle::shape_state, 0), " [SSL] [CalParams] Fail! SetShape is being called\t\n",
         BUSY},
        {set(&SslHandle::run_state, 0), " [SSL] [CalParams] Fail!Run is being called\t\n", BUSY},
        {set(&SslHandle::direction_state, 0),
         " [SSL] [CalParams] Fail! GetDirection is being called\t\n", BUSY},
        {set(&SslHandle::voting_state, 0), " [SSL] [CalParams] Fail!ResetVoting is being called\t\n",
         BUSY},
    });
}

TEST(CallOrder, RunNeedsSetupAndClearedVotes)
{
    expect_accepted(run_silence, false);
    expect_refusals(run_silence, &SslHandle::run_state, false, {
        {set(&SslHandle::marker, 0), " [SSL] [Run] Fail! The handle pointer seems invalid\t\n",
         SSL_RET_INVALID_HANDLE},
        {set(&SslHandle::init_state, 0), " [SSL] [Run] Fail! Please call IaaSsl_Init first!\t\n",
         SSL_RET_INIT_ERROR},
        {set(&SslHandle::config_state, 2), " [SSL] [Run] Fail! Config must called before Run.\t\n",
         ORDER},
        {set(&SslHandle::config_state, 0), " [SSL] [Run] Fail! Config is being called.\t\n", BUSY},
        {set(&SslHandle::shape_state, 2), " [SSL] [Run] Fail! SetShape must called before Run.\t\n",
         ORDER},
        {set(&SslHandle::shape_state, 0), " [SSL] [Run] Fail! SetShape is being called.\t\n", BUSY},
        {set(&SslHandle::params_state, 2), " [SSL] [Run] Fail! ParamsCal must called before Run.\t\n",
         ORDER},
        {set(&SslHandle::params_state, 0), " [SSL] [Run] Fail! ParamsCal is being called.\t\n", BUSY},
        {set(&SslHandle::direction_state, 1),
         " [SSL] [Run] Fail! ResetVoting must be called after GetDirection.\t\n", BUSY},
        {set(&SslHandle::direction_state, 0), " [SSL] [Run] Fail! GetDirection is being called.\t\n",
         BUSY},
        {set(&SslHandle::voting_state, 0), " [SSL] [Run] Fail! ResetVoting is being called.\t\n", BUSY},
    });
}

TEST(CallOrder, GetDirectionNeedsARun)
{
    expect_accepted([](SSL_HANDLE h) { return get_direction(h) == SSL_RET_BELOW_NOISE_GATE
                                                  ? SSL_RET_OK
                                                  : -1; },
                    false);
    expect_refusals(get_direction, &SslHandle::direction_state, false, {
        {set(&SslHandle::init_state, 0),
         " [SSL] [GetDirection] Fail! Please call IaaSsl_Init first!\t\n", SSL_RET_INIT_ERROR},
        {set(&SslHandle::config_state, 2),
         " [SSL] [GetDirection] Fail! Config must called before GetDirection.\t\n", ORDER},
        {set(&SslHandle::config_state, 0), " [SSL] [GetDirection] Fail! Config is being called.\t\n",
         BUSY},
        {set(&SslHandle::shape_state, 2),
         " [SSL] [GetDirection] Fail! SetShape must called before GetDirection.\t\n", ORDER},
        {set(&SslHandle::shape_state, 0), " [SSL] [GetDirection] Fail! SetShape is being called.\t\n",
         BUSY},
        {set(&SslHandle::params_state, 2),
         " [SSL] [GetDirection] Fail! ParamsCal must called before GetDirection.\t\n", ORDER},
        {set(&SslHandle::params_state, 0),
         " [SSL] [GetDirection] Fail! ParamsCal is being called.\t\n", BUSY},
        {set(&SslHandle::run_state, 2),
         " [SSL] [GetDirection] Fail! Run must called before GetDirection.\t\n", ORDER},
        {set(&SslHandle::run_state, 0), " [SSL] [GetDirection] Fail! Run is being called.\t\n", BUSY},
        {set(&SslHandle::voting_state, 0),
         " [SSL] [GetDirection] Fail! ResetVoting is being called.\t\n", BUSY},
        {set(&SslHandle::bf_mode, 1),
         " [SSL] [GetDirection] Fail! The bf_mode is 1, You don't need to call "
         "IaaSsl_Get_Direction!\t\n",
         SSL_RET_INVALID_BF_MODE},
    });
}

TEST(CallOrder, RefusedDirectionLeavesNoAngle)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    int32_t angle = 5;
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Direction(h, &angle); }),
              error_line(" [SSL] [GetDirection] Fail! Run must called before GetDirection.\t\n"));
    EXPECT_EQ(code, SSL_RET_CALL_ORDER_ERROR);
    EXPECT_EQ(angle, SSL_NO_ANGLE);
}

TEST(CallOrder, ResetMappingNeedsADirection)
{
    expect_accepted(IaaSsl_Reset_Mapping, true);
    expect_refusals(IaaSsl_Reset_Mapping, &SslHandle::voting_state, true, {
        {set(&SslHandle::init_state, 0),
         " [SSL] [ResetMapping] Fail! Please call IaaSsl_Init first!\t\n", SSL_RET_INIT_ERROR},
        {set(&SslHandle::config_state, 2),
         " [SSL] [ResetMapping] Fail! Config must called before ResetVoting.\t\n", ORDER},
        {set(&SslHandle::config_state, 0), " [SSL] [ResetMapping] Fail! Config is being called.\t\n",
         BUSY},
        {set(&SslHandle::shape_state, 2),
         " [SSL] [ResetMapping] Fail! SetShape must called before ResetVoting.\t\n", ORDER},
        {set(&SslHandle::shape_state, 0), " [SSL] [ResetMapping] Fail! SetShape is being called.\t\n",
         BUSY},
        {set(&SslHandle::params_state, 2),
         " [SSL] [ResetMapping] Fail! ParamsCal must called before ResetVoting.\t\n", ORDER},
        {set(&SslHandle::params_state, 0),
         " [SSL] [ResetMapping] Fail! ParamsCal is being called.\t\n", BUSY},
        {set(&SslHandle::run_state, 2),
         " [SSL] [ResetMapping] Fail! Run must called before ResetVoting.\t\n", ORDER},
        {set(&SslHandle::run_state, 0), " [SSL] [ResetMapping] Fail! Run is being called.\t\n", BUSY},
        {set(&SslHandle::direction_state, 2),
         " [SSL] [ResetMapping] Fail! GetDirection must called before ResetVoting.\t\n", ORDER},
        {set(&SslHandle::direction_state, 0),
         " [SSL] [ResetMapping] Fail! GetDirection is being called.\t\n", BUSY},
        {set(&SslHandle::bf_mode, 1),
         " [SSL] [ResetMapping] Fail! The bf_mode is 1, You don't need to call "
         "IaaSsl_ResetVoting!\t\n",
         SSL_RET_INVALID_BF_MODE},
    });
}

TEST(CallOrder, GetConfigChecksRecordHandleMarkerAndInit)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    SslConfig out{};
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Config(nullptr, nullptr); }),
              error_line(" [SSL] [GetConfig] Fail! The ssl_config is null!\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_CONFIG);
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Config(nullptr, &out); }),
              error_line(" [SSL] [GetConfig] Fail! The handle is null!\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_HANDLE);
    buffer.record().init_state = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Config(h, &out); }),
              error_line("[BF] [GetConfig] Fail! Please call IaaSsl_Init first!\t\n"));
    EXPECT_EQ(code, SSL_RET_INIT_ERROR);
    buffer.record().marker = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Config(h, &out); }),
              error_line(" [SSL] [GetConfig] Fail! The handle pointer seems invalid in "
                         "IaaSsl_Get_Config \t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(out.frames_per_decision, 0u);
}

TEST(CallOrder, ConfigTestsTheRecordBeforeTheHandle)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Config(h, nullptr); }),
              error_line(" [SSL] [Config] Fail! The ssl_config is null!\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_CONFIG);
    EXPECT_EQ(buffer.record().config_state, SSL_BUSY);
}

// No operation writes through a NULL handle or a NULL angle; each answers as for a bad handle.
TEST(CallOrder, NullHandleIsRefusedWithoutWriting)
{
    const SslConfig c = make_config();
    int32_t delays[SSL_PAIRS] = {7};
    int32_t angle = 5;
    int32_t code = 0;
    struct Case {
        std::function<int32_t()> call;
        const char *text;
    } cases[] = {
        {[&] { return IaaSsl_Config(nullptr, &c); },
         " [SSL] [Config] Fail! The handle pointer seems invalid\t\n"},
        {[&] { return IaaSsl_Set_Shape(nullptr, 0); },
         " [SSL] [SetShape] Fail! The handle pointer seems invalid in IaaSsl_Set_Shape \t\n"},
        {[&] { return IaaSsl_Cal_Params(nullptr); },
         " [SSL] [CalParams] Fail!The handle pointer seems invalid in IaaSsl_Cal_Params \t\n"},
        {[&] { return IaaSsl_Run(nullptr, SILENCE, delays); },
         " [SSL] [Run] Fail! The handle pointer seems invalid\t\n"},
        {[&] { return IaaSsl_Get_Direction(nullptr, &angle); },
         " [SSL] [GetDirection] Fail! The handle pointer seems invalid\t\n"},
        {[&] { return IaaSsl_Reset_Mapping(nullptr); },
         " [SSL] [ResetMapping] Fail! The handle pointer seems invalid\t\n"},
        {[&] { return IaaSsl_Free(nullptr); }, " [SSL] [Free] Fail! The handle is null!\t\n"},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(captured([&] { code = k.call(); }), error_line(k.text));
        EXPECT_EQ(code, SSL_RET_INVALID_HANDLE) << k.text;
    }
    EXPECT_EQ(delays[0], 7);
    EXPECT_EQ(angle, 5);

    WorkBuffer buffer;
    SSL_HANDLE h = base_handle(buffer.bytes(), false);
    EXPECT_EQ(captured([&] { code = IaaSsl_Get_Direction(h, nullptr); }),
              error_line(" [SSL] [GetDirection] Fail! The handle pointer seems invalid\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(buffer.record().direction_state, SSL_NEVER);
}

TEST(CallOrder, RunChecksItsPointersFirst)
{
    WorkBuffer buffer;
    SSL_HANDLE h = base_handle(buffer.bytes(), false);
    int32_t delays[SSL_PAIRS];
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Run(h, nullptr, delays); }),
              error_line(" [SSL] [Run] Fail! The microphone_input is NULL\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(captured([&] { code = IaaSsl_Run(h, SILENCE, nullptr); }),
              error_line(" [SSL] [Run] Fail! The delay_sample is NULL\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(buffer.record().run_state, SSL_BUSY);
}

TEST(CallOrder, ZeroedBufferFailsEveryOperation)
{
    WorkBuffer buffer;
    SSL_HANDLE h = buffer.bytes();
    StdoutCapture quiet;
    SslConfig c = make_config();
    EXPECT_EQ(IaaSsl_Config(h, &c), SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(IaaSsl_Set_Shape(h, 0), SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(IaaSsl_Cal_Params(h), SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(run_silence(h), SSL_RET_INVALID_HANDLE);
    EXPECT_EQ(get_direction(h), SSL_RET_INIT_ERROR);
    EXPECT_EQ(IaaSsl_Reset_Mapping(h), SSL_RET_INIT_ERROR);
    EXPECT_EQ(IaaSsl_Get_Config(h, &c), SSL_RET_INVALID_HANDLE);
}

TEST(CallOrder, FailedConfigBlocksUntilAConfigSucceeds)
{
    WorkBuffer buffer;
    SslInit init = make_init(5.0f, 44100);
    SslConfig c = make_config();
    SSL_HANDLE h = nullptr;
    captured([&] { h = IaaSsl_Init(buffer.bytes(), &init); });
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Config(h, &c); }),
              error_line(" [SSL] [Config] Fail! Error setting sample rate.\t\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_SAMPLE_RATE);
    int32_t delays[SSL_PAIRS];
    EXPECT_EQ(captured([&] { code = IaaSsl_Run(h, SILENCE, delays); }),
              error_line(" [SSL] [Run] Fail! Config is being called.\t\n"));
    buffer.record().sample_rate = 16000;
    captured([&] { code = IaaSsl_Config(h, &c); });
    EXPECT_EQ(code, SSL_RET_OK);
}

// Config and Set_Shape each refuse while the other's last call failed: only Reset frees them.
TEST(CallOrder, ConfigAndSetShapeFailuresLockEachOther)
{
    WorkBuffer buffer;
    SslInit init = make_init(5.0f, 44100);
    SslConfig c = make_config();
    SSL_HANDLE h = nullptr;
    captured([&] { h = IaaSsl_Init(buffer.bytes(), &init); });
    int32_t code = 0;
    captured([&] { code = IaaSsl_Config(h, &c); });
    EXPECT_EQ(captured([&] { code = IaaSsl_Set_Shape(h, 0); }),
              error_line(" [SSL] [SetShape] Fail! Config is being called\t\n"));
    EXPECT_EQ(code, SSL_RET_API_CONFLICT);
    buffer.record().sample_rate = 16000;
    EXPECT_EQ(captured([&] { code = IaaSsl_Config(h, &c); }),
              error_line(" [SSL] [Config] Fail! SetShape is being called\t\n"));
    init.sample_rate = 16000;
    captured([&] { IaaSsl_Reset(h, &init); code = IaaSsl_Config(h, &c); });
    EXPECT_EQ(code, SSL_RET_OK);
}

// Run after a direction without clearing the votes locks the handle until Reset.
TEST(CallOrder, SkippedResetMappingLocksTheHandleUntilReset)
{
    WorkBuffer buffer;
    SSL_HANDLE h = base_handle(buffer.bytes(), true);
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = run_silence(h); }),
              error_line(" [SSL] [Run] Fail! ResetVoting must be called after GetDirection.\t\n"));
    EXPECT_EQ(code, SSL_RET_API_CONFLICT);
    EXPECT_EQ(captured([&] { code = IaaSsl_Reset_Mapping(h); }),
              error_line(" [SSL] [ResetMapping] Fail! Run is being called.\t\n"));
    EXPECT_EQ(captured([&] { code = get_direction(h); }),
              error_line(" [SSL] [GetDirection] Fail! Run is being called.\t\n"));
    {
        StdoutCapture quiet;
        EXPECT_NE(run_silence(h), SSL_RET_OK);
        EXPECT_NE(IaaSsl_Set_Shape(h, 0), SSL_RET_OK);
        SslInit init = make_init();
        EXPECT_EQ(IaaSsl_Reset(h, &init), h);
    }
    EXPECT_EQ(captured([&] { code = run_silence(h); }),
              error_line(" [SSL] [Run] Fail! Config must called before Run.\t\n"));
    EXPECT_EQ(code, SSL_RET_CALL_ORDER_ERROR);
}

TEST(CallOrder, FullCycleRepeats)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    StdoutCapture quiet;
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(run_silence(h), SSL_RET_OK);
        EXPECT_EQ(run_silence(h), SSL_RET_OK);
        EXPECT_EQ(get_direction(h), SSL_RET_BELOW_NOISE_GATE);
        EXPECT_EQ(IaaSsl_Reset_Mapping(h), SSL_RET_OK);
    }
    EXPECT_EQ(IaaSsl_Free(h), SSL_RET_OK);
    EXPECT_EQ(IaaSsl_Free(h), SSL_RET_OK);
}

TEST(CallOrder, DelaysOnlyModeRunsWithoutDirections)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(5.0f, 16000, 1));
    StdoutCapture quiet;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run_silence(h), SSL_RET_OK);
    }
    EXPECT_EQ(get_direction(h), SSL_RET_INVALID_BF_MODE);
    EXPECT_EQ(buffer.record().direction_state, SSL_BUSY);
    EXPECT_EQ(buffer.record().energy_acc, 0.0f);
    for (int k = 0; k < SSL_VOTE_SLOTS; ++k) {
        EXPECT_EQ(buffer.record().vote_count[0][k], 0);
    }
}

}  // namespace
