// Exposure, gain and frame-rate requests: the shadow registers they compute.
#include "imx380_fixture.h"

TEST_F(PadTest, ExposureBecomesLinesAndStretchesTheFrameOnlyWhenNeeded)
{
    struct Case {
        uint32_t us, lines, frameLength;
    };
    const Case cases[] = {{33355, 1500, 1500}, {33356, 1501, 1511}, {10000, 450, 1500}, {0, 0, 1500}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.us);
        params->exposure_pending = 0;
        EXPECT_EQ(h->pCus_sensor_SetAEUSecs(h, c.us), 0);
        EXPECT_EQ(params->expo_us, c.us);
        EXPECT_EQ(params->expo_lines, c.lines);
        EXPECT_EQ(pair(params->expo_reg), c.lines);
        EXPECT_EQ(pair(params->vts_reg), c.frameLength);
        EXPECT_EQ(params->vts, 1500u);
        EXPECT_EQ(params->exposure_pending, 1);
    }
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, ExposureReadBackIsCutToWholeLines)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    uint32_t us = 0;
    EXPECT_EQ(h->pCus_sensor_GetAEUSecs(h, &us), 0);
    EXPECT_EQ(us, 9999u);
}

TEST_F(PadTest, LongExposuresAreClampedBeforeTheArithmeticWraps)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 333333), 0);
    EXPECT_EQ(pair(params->expo_reg), 15000u);
    EXPECT_EQ(pair(params->vts_reg), 15010u);

    for (uint32_t us : {333334u, 4294968u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(us);
        ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, us), 0);
        EXPECT_EQ(params->expo_lines, 15000u);
        EXPECT_EQ(pair(params->vts_reg), 15010u);
    }

    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 1), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 1000000), 0);
    EXPECT_EQ(params->expo_lines, 23261u);
    EXPECT_EQ(pair(params->expo_reg), 23261u);
    EXPECT_EQ(pair(params->vts_reg), 23271u);
}

TEST_F(PadTest, AdvertisedLimitsAndShutterInfo)
{
    uint32_t min = 0, max = 0;
    EXPECT_EQ(h->pCus_sensor_GetAEMinMaxUSecs(h, &min, &max), 0);
    EXPECT_EQ(min, 1u);
    EXPECT_EQ(max, 333333u);
    EXPECT_EQ(h->pCus_sensor_GetAEMinMaxGain(h, &min, &max), 0);
    EXPECT_EQ(min, 1024u);
    EXPECT_EQ(max, 4076544u);

    cus_shutter_info info{0xDEAD, 0, 0, 0};
    EXPECT_EQ(h->pCus_sensor_GetShutterInfo(h, &info), 0);
    EXPECT_EQ(info.flags, 0xDEADu);
    EXPECT_EQ(info.max_shutter_ns, 333333333u);
    EXPECT_EQ(info.min_shutter_ns, 22222u);
    EXPECT_EQ(info.step_ns, 22222u);
    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 1), 0);
    EXPECT_EQ(h->pCus_sensor_GetShutterInfo(h, &info), 0);
    EXPECT_EQ(info.min_shutter_ns, 14330u);
    EXPECT_EQ(info.step_ns, 14330u);
}

TEST_F(PadTest, GainCodesSplitBetweenAnalogueAndDigital)
{
    struct Case {
        uint32_t gain;
        uint16_t analogue, digitalInt, digitalFrac;
    };
    const Case cases[] = {
        {1024, 0, 1, 0},      {2048, 512, 1, 0},    {4096, 768, 1, 0},    {22794, 977, 1, 0},
        {22795, 978, 1, 0},   {65536, 978, 2, 0xE0}, {364615, 978, 15, 255}, {4076544, 978, 15, 255},
        {500, 0, 1, 0},       {9000000, 978, 15, 255}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.gain);
        params->exposure_pending = 0;
        EXPECT_EQ(h->pCus_sensor_SetAEGain(h, c.gain), 0);
        EXPECT_EQ(params->gain_reg[0].data, c.analogue >> 8);
        EXPECT_EQ(params->gain_reg[1].data, c.analogue & 0xFF);
        EXPECT_EQ(params->gain_reg[2].data, c.digitalInt);
        EXPECT_EQ(params->gain_reg[3].data, c.digitalFrac);
        EXPECT_EQ(params->exposure_pending, 1);
        uint32_t reported = 0;
        EXPECT_EQ(h->pCus_sensor_GetAEGain(h, &reported), 0);
        EXPECT_EQ(reported, c.gain);
    }
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, RepeatedGainMarksNothingPending)
{
    ASSERT_EQ(h->pCus_sensor_SetAEGain(h, 4096), 0);
    params->exposure_pending = 0;
    params->gain_reg[1].data = 0x55;
    EXPECT_EQ(h->pCus_sensor_SetAEGain(h, 4096), 0);
    EXPECT_EQ(params->exposure_pending, 0);
    EXPECT_EQ(params->gain_reg[1].data, 0x55);
}

TEST_F(PadTest, FrameRatesPlainAndInThousandths)
{
    struct Case {
        uint32_t mode, rate, vts;
        int reported;
    };
    const Case cases[] = {{0, 15, 3000, 15},       {0, 29970, 1502, 29960}, {0, 30, 1500, 30},
                          {0, 3, 15000, 3},        {0, 3000, 15000, 3000},  {1, 25, 2791, 25},
                          {1, 30000, 2326, 30000}, {0, 30000, 1500, 30000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, c.mode), 0);
        params->exposure_pending = 0;
        EXPECT_EQ(h->pCus_sensor_SetFPS(h, c.rate), 0);
        EXPECT_EQ(params->vts, c.vts);
        EXPECT_EQ(params->fps, c.rate);
        EXPECT_EQ(params->exposure_pending, 1);
        EXPECT_EQ(h->pCus_sensor_GetFPS(h), c.reported);
        EXPECT_EQ(params->fps_reported, static_cast<uint32_t>(c.reported));
    }
}

TEST_F(PadTest, FirstRateRequestZeroesTheExposureAndLaterOnesKeepItCovered)
{
    ASSERT_EQ(h->pCus_sensor_SetFPS(h, 30), 0);
    EXPECT_EQ(pair(params->expo_reg), 0u);
    EXPECT_EQ(pair(params->vts_reg), 1500u);

    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 60000), 0);
    EXPECT_EQ(params->expo_lines, 2700u);
    EXPECT_EQ(pair(params->vts_reg), 2710u);
    EXPECT_EQ(h->pCus_sensor_GetFPS(h), 16);

    ASSERT_EQ(h->pCus_sensor_SetFPS(h, 10), 0);
    EXPECT_EQ(pair(params->vts_reg), 4500u);
    EXPECT_EQ(pair(params->expo_reg), 2700u);
    EXPECT_EQ(h->pCus_sensor_GetFPS(h), 10);
}

TEST_F(PadTest, RatesOutsideBothRangesAreRefusedWithoutChange)
{
    ASSERT_EQ(h->pCus_sensor_SetFPS(h, 20), 0);
    params->exposure_pending = 0;
    for (uint32_t rate : {31u, 2999u, 30001u, 0u, 2u, 999u}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(h->pCus_sensor_SetFPS(h, rate), -1);
        EXPECT_EQ(params->fps, 20u);
        EXPECT_EQ(params->vts, 2250u);
        EXPECT_EQ(params->exposure_pending, 0);
    }
}

TEST_F(ModuleTest, ModeSelectedOnOnePadChangesTheLineTimeOfTheOthers)
{
    ASSERT_EQ(load(0x5), 0);
    ASSERT_EQ(sim_framework_attach(0), 0);
    ASSERT_EQ(sim_framework_attach(2), 0);
    cus_camsensor_handle *first = &sim_framework_pad(0)->handle;
    cus_camsensor_handle *second = &sim_framework_pad(2)->handle;

    ASSERT_EQ(second->pCus_sensor_SetVideoRes(second, 1), 0);
    ASSERT_EQ(first->pCus_sensor_SetAEUSecs(first, 10000), 0);
    EXPECT_EQ(static_cast<imx380_params *>(first->private_data)->expo_lines, 697u);
    EXPECT_EQ(first->video_res_cur, 0u);
}
