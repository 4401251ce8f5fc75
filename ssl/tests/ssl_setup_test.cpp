// Init, Reset, Free, Config and geometry: messages, defaults and the derived tables.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "ssl_test_support.h"

namespace {

#if SSL_MIC_NUM > 2
const char *const VERSION_LINE = "[ALGO_MSG_MSG] [SSL] ver.2022.0929.0000\r\n";
#else
const char *const VERSION_LINE = "[ALGO_MSG_MSG] [SSL] ver.2022.0728.0000\r\n";
#endif

std::string buffer_line(uint32_t size)
{
    return note_line("[SSL] Working buffer size = " + std::to_string(size) + " bytes\t\n");
}

std::string microphones_line(const char *where)
{
    return error_line(std::string("[SSL] ") + where + "Fail! This library only support " +
                      std::to_string(SSL_MICS) + " Microphones!!\r\n");
}

bool zero_except_fft_work(WorkBuffer &buffer)
{
    SslHandle &h = buffer.record();
    if (h.fft.work != buffer.bytes() + sizeof(SslHandle)) {
        return false;
    }
    h.fft.work = nullptr;
    for (size_t i = 0; i < buffer.size(); ++i) {
        if (buffer.bytes()[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(Lifecycle, BufferSizeIsPrintedOnEveryCall)
{
    uint32_t first = 0;
    uint32_t second = 0;
    std::string out = captured([&] {
        first = IaaSsl_GetBufferSize();
        second = IaaSsl_GetBufferSize();
    });
    EXPECT_EQ(first, second);
    EXPECT_GE(first, sizeof(SslHandle) + 6028);
    EXPECT_EQ(out, buffer_line(first) + buffer_line(first));
}

TEST(Lifecycle, InitPrintsVersionAndSizeAndSetsDefaults)
{
    WorkBuffer buffer;
    SslInit init = make_init();
    SSL_HANDLE h = nullptr;
    EXPECT_EQ(captured([&] { h = IaaSsl_Init(buffer.bytes(), &init); }),
              VERSION_LINE + buffer_line(static_cast<uint32_t>(buffer.size())));
    ASSERT_EQ(h, static_cast<void *>(buffer.bytes()));
    const SslHandle &r = buffer.record();
    EXPECT_EQ(r.marker, 0x30513057u);
    EXPECT_EQ(memcmp(&r.marker, "W0Q0", 4), 0);
    EXPECT_EQ(r.init_state, 1);
    for (int32_t flag : {r.config_state, r.shape_state, r.params_state, r.run_state,
                         r.direction_state, r.voting_state}) {
        EXPECT_EQ(flag, 2);
    }
    EXPECT_EQ(r.array_geometry, 0);
    EXPECT_EQ(r.sound_speed, 346.0f);
    EXPECT_EQ(r.temperature, 25u);
    EXPECT_EQ(r.noise_gate_dbfs, -80);
    EXPECT_EQ(r.frames_per_decision, 32u);
    EXPECT_EQ(r.lag_index[0], -128);
    EXPECT_EQ(r.lag_index[255], 127);
    EXPECT_FLOAT_EQ(r.mic_distance, 0.05f);
    EXPECT_EQ(r.fft.ready, 1);
    EXPECT_EQ(r.fft.size, 256);
    const int32_t thresholds[SSL_VOTE_SLOTS] = {2, 4, 4, 4, 4, 4, 4, 4, 2, 16};
    for (int k = 0; k < SSL_VOTE_SLOTS; ++k) {
        EXPECT_EQ(r.vote_threshold[k], thresholds[k]);
    }
}

TEST(Lifecycle, InitDelayLimitsAndLinearTable)
{
    WorkBuffer buffer;
    SslInit init = make_init(5.0f, 16000);
    captured([&] { IaaSsl_Init(buffer.bytes(), &init); });
    const SslHandle &r = buffer.record();
    const int32_t limits[] = {3, 5, 7};
    for (int p = 0; p < SSL_PAIRS; ++p) {
        EXPECT_EQ(r.max_delay[p], limits[p]);
    }
    EXPECT_EQ(r.delay_table[0][0], 3.0f);
    EXPECT_EQ(r.delay_table[0][1], 2.7716386f);
    EXPECT_EQ(r.delay_table[0][2], 2.1213205f);
    EXPECT_NEAR(r.delay_table[0][4], 0.0f, 1e-6f);
    EXPECT_EQ(r.delay_table[0][8], -3.0f);
}

TEST(Lifecycle, InitRefusesBadRecordsAndLeavesTheBufferZeroed)
{
    struct Case {
        SslInit init;
        std::string message;
    };
    SslInit wrong_points = make_init();
    wrong_points.point_number = 256;
    SslInit wrong_mode = make_init(5.0f, 16000, 0xFFFFFFFFu);
    SslInit wrong_mics = make_init();
    wrong_mics.mic_num = SSL_MICS == 4 ? 2 : 4;
    const Case cases[] = {
        {wrong_points, error_line(" [SSL] Fail! The point_number is invalid!\t\n")},
        {wrong_mode, error_line(" [SSL] Fail! The bf_mode is invalid!\t\n")},
        {wrong_mics, microphones_line("")},
    };
    for (const Case &c : cases) {
        WorkBuffer buffer;
        memset(buffer.bytes(), 0x5A, buffer.size());
        SSL_HANDLE h = reinterpret_cast<SSL_HANDLE>(1);
        std::string out = captured([&] { h = IaaSsl_Init(buffer.bytes(), &c.init); });
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(out, VERSION_LINE + buffer_line(static_cast<uint32_t>(buffer.size())) +
                           c.message);
        EXPECT_TRUE(zero_except_fft_work(buffer)) << c.message;
    }
}

TEST(Lifecycle, NullArgumentsTouchNothing)
{
    WorkBuffer buffer;
    SslInit init = make_init();
    memset(buffer.bytes(), 0x5A, buffer.size());
    SSL_HANDLE h = reinterpret_cast<SSL_HANDLE>(1);
    EXPECT_EQ(captured([&] { h = IaaSsl_Init(buffer.bytes(), nullptr); }),
              error_line(" [SSL] [Init] Fail! The handle or ssl_init is null!\t\n"));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(captured([&] { h = IaaSsl_Init(nullptr, &init); }),
              error_line(" [SSL] [Init] Fail! The handle or ssl_init is null!\t\n"));
    EXPECT_EQ(captured([&] { h = IaaSsl_Reset(buffer.bytes(), nullptr); }),
              error_line(" [SSL] [Reset] Fail! The handle or ssl_init is null!\t\n"));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(buffer.bytes()[0], 0x5A);
    EXPECT_EQ(buffer.bytes()[buffer.size() - 1], 0x5A);
}

TEST(Lifecycle, ResetReturnsToTheStateAfterInit)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(), 0, make_config(40, -20, 64));
    SslInit init = make_init();
    SSL_HANDLE again = nullptr;
    EXPECT_EQ(captured([&] { again = IaaSsl_Reset(h, &init); }),
              VERSION_LINE + buffer_line(static_cast<uint32_t>(buffer.size())));
    EXPECT_EQ(again, h);
    EXPECT_EQ(buffer.record().sound_speed, 346.0f);
    EXPECT_EQ(buffer.record().config_state, 2);
    EXPECT_EQ(buffer.record().vote_threshold[9], 16);

    SslInit bad = make_init();
    bad.point_number = 64;
    captured([&] { again = IaaSsl_Reset(h, &bad); });
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(buffer.record().marker, 0u);
    EXPECT_EQ(buffer.record().init_state, 0);
}

TEST(Lifecycle, FreeOnlyStopsTheTransform)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    EXPECT_EQ(IaaSsl_Free(h), SSL_RET_OK);
    EXPECT_EQ(buffer.record().fft.ready, 0);
    EXPECT_EQ(buffer.record().marker, 0x30513057u);
    EXPECT_EQ(buffer.record().params_state, 1);
}

TEST(Config, SpeedOfSoundThresholdsAndGate)
{
    struct Case {
        SslConfig config;
        float speed;
        int32_t gate;
        int32_t threshold_scale;
    } cases[] = {
        {make_config(25, -80, 32), 346.0f, -80, 1},
        {make_config(40, -100, 48), 355.0f, -80, 1},
        {make_config(0, 5, 64), 331.0f, 0, 2},
        // Below freezing: a camera outdoors in winter.
        {make_config(static_cast<uint32_t>(-10), -30, 16), 325.0f, -30, 0},
    };
    const int32_t base[SSL_VOTE_SLOTS] = {2, 4, 4, 4, 4, 4, 4, 4, 2, 16};
    for (const Case &c : cases) {
        WorkBuffer buffer;
        SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(), 0, c.config);
        const SslHandle &r = buffer.record();
        EXPECT_EQ(r.sound_speed, c.speed);
        EXPECT_EQ(r.noise_gate_dbfs, c.gate);
        for (int k = 0; k < SSL_VOTE_SLOTS; ++k) {
            EXPECT_EQ(r.vote_threshold[k], base[k] * c.threshold_scale);
        }
        SslConfig out{};
        EXPECT_EQ(IaaSsl_Get_Config(h, &out), SSL_RET_OK);
        EXPECT_EQ(out.temperature, c.config.temperature);
        EXPECT_EQ(out.noise_gate_dbfs, c.gate);
        EXPECT_EQ(out.frames_per_decision, c.config.frames_per_decision);
    }
}

TEST(Config, GetConfigAfterInitGivesDefaultsEvenWhileAnotherCallFailed)
{
    WorkBuffer buffer;
    SslInit init = make_init();
    captured([&] { IaaSsl_Init(buffer.bytes(), &init); });
    buffer.record().shape_state = SSL_BUSY;
    SslConfig out{};
    EXPECT_EQ(IaaSsl_Get_Config(buffer.bytes(), &out), SSL_RET_OK);
    EXPECT_EQ(out.temperature, 25u);
    EXPECT_EQ(out.noise_gate_dbfs, -80);
    EXPECT_EQ(out.frames_per_decision, 32u);
}

TEST(Config, RevalidatesWhatInitStored)
{
    struct Case {
        void (*spoil)(SslHandle &);
        std::string message;
        int32_t code;
    } cases[] = {
        {[](SslHandle &h) { h.mic_num = 3; }, microphones_line("[Config] "),
         SSL_RET_INVALID_MIC_NUM},
        {[](SslHandle &h) { h.sample_rate = 44100; },
         error_line(" [SSL] [Config] Fail! Error setting sample rate.\t\n"),
         SSL_RET_INVALID_SAMPLE_RATE},
        {[](SslHandle &h) { h.point_number = 64; },
         error_line(" [SSL] [Config] Fail! The point_number is invalid!\t\n"),
         SSL_RET_INVALID_POINT_NUMBER},
        {[](SslHandle &h) { h.bf_mode = 2; },
         error_line(" [SSL] [Config] Fail! The bf_mode is invalid!\t\n"), SSL_RET_INVALID_BF_MODE},
    };
    for (const Case &c : cases) {
        WorkBuffer buffer;
        SslInit init = make_init();
        captured([&] { IaaSsl_Init(buffer.bytes(), &init); });
        c.spoil(buffer.record());
        SslConfig config = make_config(40);
        int32_t code = 0;
        EXPECT_EQ(captured([&] { code = IaaSsl_Config(buffer.bytes(), &config); }), c.message);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(buffer.record().sound_speed, 346.0f);
        EXPECT_EQ(buffer.record().config_state, SSL_BUSY);
    }
}

TEST(Geometry, LinearShapeFollowsTheSpeedOfSoundAndRebuildsTheTable)
{
    WorkBuffer buffer;
    SslInit init = make_init(15.0f, 48000);
    captured([&] { IaaSsl_Init(buffer.bytes(), &init); });
    EXPECT_EQ(buffer.record().max_delay[0], 21);
    ready_handle(buffer.bytes(), init, 0, make_config(0));
    const SslHandle &r = buffer.record();
    EXPECT_EQ(r.max_delay[0], 22);
    EXPECT_EQ(r.delay_table[0][0], 22.0f);
    EXPECT_EQ(r.delay_table[0][8], -22.0f);
    EXPECT_FLOAT_EQ(r.mic_pos[0].x, SSL_MICS == 4 ? -0.225f : -0.075f);
    EXPECT_FLOAT_EQ(r.baseline[0].x, 0.15f);
    EXPECT_EQ(r.baseline[0].y, 0.0f);
}

TEST(Geometry, InvalidShapeBlocksCalParams)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    int32_t code = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Set_Shape(h, 2); }),
              error_line("[SSL] [SetShape] Fail! The array_geometry setting is not allow, it "
                         "should be 0 or 1 !!\r\n"));
    EXPECT_EQ(code, SSL_RET_INVALID_GEOMETRY);
    EXPECT_EQ(buffer.record().array_geometry, 0);
    EXPECT_EQ(captured([&] { code = IaaSsl_Cal_Params(h); }),
              error_line(" [SSL] [CalParams] Fail! SetShape is being called\t\n"));
    EXPECT_EQ(code, SSL_RET_API_CONFLICT);
}

#if SSL_MIC_NUM > 2
TEST(Geometry, CircleOfTenCentimetres)
{
    WorkBuffer buffer;
    ready_handle(buffer.bytes(), make_init(10.0f, 16000), 1);
    const SslHandle &r = buffer.record();
    const SslPoint positions[] = {{-0.05f, 0.0f}, {0.0f, 0.05f}, {0.05f, 0.0f}, {0.0f, -0.05f}};
    const SslPoint baselines[] = {{0.05f, 0.05f}, {0.1f, 0.0f}, {0.05f, -0.05f}};
    for (int k = 0; k < SSL_MICS; ++k) {
        EXPECT_NEAR(r.mic_pos[k].x, positions[k].x, 1e-8f);
        EXPECT_NEAR(r.mic_pos[k].y, positions[k].y, 1e-8f);
    }
    for (int p = 0; p < SSL_PAIRS; ++p) {
        EXPECT_NEAR(r.baseline[p].x, baselines[p].x, 1e-8f);
        EXPECT_NEAR(r.baseline[p].y, baselines[p].y, 1e-8f);
    }
    EXPECT_EQ(r.max_delay[0], 4);
    EXPECT_EQ(r.max_delay[1], 5);
    EXPECT_EQ(r.max_delay[2], 4);
    const float row0[] = {2.8284273f, 1.5307337f,  3.0199161e-07f, -1.5307336f, -2.8284271f,
                          -3.695518f, -4.0f,       -3.695518f,     -2.8284273f};
    for (int j = 0; j < SSL_DIRECTIONS; ++j) {
        EXPECT_FLOAT_EQ(r.delay_table[0][j], row0[j]) << j;
    }
    EXPECT_FLOAT_EQ(r.delay_table[2][0], 2.8284273f);
    EXPECT_FLOAT_EQ(r.delay_table[2][1], 3.6955183f);
    EXPECT_FLOAT_EQ(r.delay_table[2][2], 4.0f);
    EXPECT_FLOAT_EQ(r.delay_table[1][0], 5.0f);
    const float matrix[2][3] = {{3.33329f, 6.66658f, 3.33329f}, {9.99987f, 0.0f, -9.99987f}};
    for (int row = 0; row < 2; ++row) {
        for (int p = 0; p < SSL_PAIRS; ++p) {
            EXPECT_NEAR(r.lsq_matrix[row][p], matrix[row][p], 2e-5f);
        }
    }
}

TEST(Geometry, LinearShapeAfterACircleRestoresTheLinearTable)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(10.0f, 16000), 1);
    EXPECT_EQ(IaaSsl_Set_Shape(h, 0), SSL_RET_OK);
    const SslHandle &r = buffer.record();
    for (int p = 0; p < SSL_PAIRS; ++p) {
        EXPECT_EQ(r.delay_table[p][0], static_cast<float>(r.max_delay[p]));
        EXPECT_EQ(r.delay_table[p][8], -static_cast<float>(r.max_delay[p]));
    }
}
#else
TEST(Geometry, TwoMicrophonesMustBeLinear)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), make_init());
    int32_t code = 0;
    EXPECT_EQ(IaaSsl_Set_Shape(h, 1), SSL_RET_OK);
    EXPECT_EQ(captured([&] { code = IaaSsl_Cal_Params(h); }),
              error_line("[SSL] [CalParams] Fail! Two microphone array must be linear. Please "
                         "set shape to  0 !\t\n"));
    EXPECT_EQ(code, SSL_RET_GEOMETRY_NOT_LINEAR);
    const int16_t silence[SSL_POINT_NUMBER * SSL_MICS] = {};
    int32_t delay = 0;
    EXPECT_EQ(captured([&] { code = IaaSsl_Run(h, silence, &delay); }),
              error_line(" [SSL] [Run] Fail! ParamsCal is being called.\t\n"));
    // The failed Cal_Params also blocks Set_Shape; only a Reset brings the handle back.
    EXPECT_EQ(captured([&] { code = IaaSsl_Set_Shape(h, 0); }),
              error_line(" [SSL] [SetShape] Fail! ParamsCal is being called\t\n"));
    ready_handle(buffer.bytes(), make_init());
    EXPECT_EQ(IaaSsl_Run(h, silence, &delay), SSL_RET_OK);
}
#endif

TEST(Identification, StringsAreInTheLibrary)
{
    FILE *f = fopen(SSL_LIBRARY_FILE, "rb");
    ASSERT_NE(f, nullptr);
    std::string image;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        image.append(chunk, n);
    }
    fclose(f);
    const char *settings = SSL_MICS == 4 ? "SSLSET##APIVERSION12##PN128##SETSSL\n"
                                         : "SSLSET##APIVERSION12##SETSSL\n";
    EXPECT_NE(image.find(settings), std::string::npos);
    EXPECT_NE(image.find("Z8######"), std::string::npos);
    EXPECT_NE(image.find("SSL#####"), std::string::npos);
}

}  // namespace
