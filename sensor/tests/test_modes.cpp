// Video modes, mode selection and the start-up register lists.
#include "imx380_fixture.h"

namespace {

// Registers 3-83 carry our own values; only their addresses are fixed.
const uint16_t kVendorAddresses[] = {
    0xE000, 0x4AE9, 0x4AEA, 0xF61C, 0xF61E, 0x4AE9, 0x4AEA, 0x38A8, 0x38A9, 0x38AA, 0x38AB,
    0x55D4, 0x55D5, 0x55D6, 0x55D7, 0x55E8, 0x55E9, 0x55EA, 0x55EB, 0x574C, 0x574D, 0x574E,
    0x574F, 0x5754, 0x5755, 0x5756, 0x5757, 0x5973, 0x5974, 0x5D13, 0x5D14, 0x5D15, 0x5D16,
    0x5D17, 0x5D18, 0x5D1A, 0x5D1B, 0x5D1C, 0x5D1D, 0x5D1E, 0x5D1F, 0x5D21, 0x5D22, 0x5D23,
    0x5D24, 0x5D25, 0x5D26, 0x5D37, 0x5D38, 0x5D77, 0x7B75, 0x7B76, 0x7B77, 0x7B78, 0x7B79,
    0x7B7C, 0x7B7D, 0x8D1F, 0x8D27, 0x9004, 0x9200, 0x9201, 0x9202, 0x9203, 0x9204, 0x9205,
    0x9371, 0x9373, 0x9375, 0x991A, 0x996B, 0x996C, 0x996D, 0x9A4C, 0x9A4D, 0xA001, 0xA003,
    0xA005, 0xA006, 0xA007, 0xA009};

std::vector<RegWrite> expectedTable(bool uhd)
{
    auto pick = [uhd](uint16_t fhd, uint16_t fourK) { return uhd ? fourK : fhd; };
    std::vector<RegWrite> t = {{0x0136, 0x18}, {0x0137, 0x00}};
    for (uint16_t a : kVendorAddresses)
        t.emplace_back(a, 0xFFFF);
    std::vector<RegWrite> rest = {
        {0x0112, 0x0A}, {0x0113, 0x0A}, {0x0114, 0x03},
        {0x0342, pick(0x0D, 0x19)}, {0x0343, pick(0xAC, 0x00)},
        {0x0340, pick(0x05, 0x09)}, {0x0341, pick(0xDC, 0x16)},
        {0x0344, 0x00}, {0x0345, 0x6C}, {0x0346, 0x01}, {0x0347, 0xB8},
        {0x0348, 0x0F}, {0x0349, 0x6B}, {0x034A, 0x0A}, {0x034B, 0x27},
        {0x0220, 0x00}, {0x0221, 0x11},
        {0x0381, 0x01}, {0x0383, 0x01}, {0x0385, 0x01}, {0x0387, 0x01},
        {0x0900, pick(0x01, 0x00)}, {0x0901, pick(0x22, 0x11)}, {0x0902, 0x02},
        {0x3140, 0x02}, {0x3C00, 0x00}, {0x3C01, pick(0x01, 0x03)}, {0x3C02, pick(0x9C, 0xDC)},
        {0x3F0D, 0x00}, {0x5748, pick(0x00, 0x07)}, {0x5749, pick(0x00, 0xFF)}, {0x574A, 0x00},
        {0x574B, pick(0xA4, 0x00)}, {0x7B53, pick(0x00, 0x01)}, {0x9369, pick(0x73, 0x5A)},
        {0x936B, pick(0x64, 0x55)}, {0x936D, pick(0x5F, 0x28)}, {0x9304, 0x00},
        {0x9305, pick(0x80, 0x00)}, {0x9E9A, 0x2F}, {0x9E9B, 0x2F}, {0x9E9C, 0x2F},
        {0x9E9D, 0x00}, {0x9E9E, 0x00}, {0x9E9F, 0x00}, {0xA2A9, pick(0x27, 0x60)},
        {0xA2B7, pick(0x03, 0x00)},
        {0x0401, 0x00}, {0x0404, 0x00}, {0x0405, 0x10},
        {0x0408, 0x00}, {0x0409, 0x00}, {0x040A, 0x00}, {0x040B, 0x00},
        {0x040C, pick(0x07, 0x0F)}, {0x040D, pick(0x80, 0x00)}, {0x040E, pick(0x04, 0x08)},
        {0x040F, pick(0x38, 0x70)},
        {0x034C, pick(0x07, 0x0F)}, {0x034D, pick(0x80, 0x00)}, {0x034E, pick(0x04, 0x08)},
        {0x034F, pick(0x38, 0x70)},
        {0x0301, pick(0x06, 0x05)}, {0x0303, 0x02}, {0x0305, pick(0x03, 0x02)}, {0x0306, 0x00},
        {0x0307, pick(0x3C, 0x5C)}, {0x0309, 0x0A}, {0x030B, 0x01}, {0x030D, 0x0C},
        {0x030E, pick(0x00, 0x01)}, {0x030F, pick(0xAF, 0x90)}, {0x0310, 0x01},
        {0x0820, 0x16}, {0x0821, 0x80}, {0x0822, 0x00}, {0x0823, 0x00},
        {0x3E20, 0x01}, {0x3E37, 0x01}, {0x3F50, 0x00}, {0x3F56, 0x00},
        {0x3F57, pick(0x64, 0xB7)},
        {0x0100, 0x01}};
    t.insert(t.end(), rest.begin(), rest.end());
    return t;
}

// 0xFFFF in the expectation stands for a value of our own choosing.
void expectTable(const std::vector<RegWrite> &got, const std::vector<RegWrite> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(got[i].first, want[i].first);
        if (want[i].second != 0xFFFF) {
            EXPECT_EQ(got[i].second, want[i].second);
        }
        EXPECT_LE(got[i].second, 0xFF);
    }
}

} // namespace

TEST_F(PadTest, ModeQueriesReportTheTableAndRefuseIndexesPastIt)
{
    uint32_t count = 0;
    EXPECT_EQ(h->pCus_sensor_GetVideoResNum(h, &count), 0);
    EXPECT_EQ(count, 2u);

    video_res_entry *res = nullptr;
    EXPECT_EQ(h->pCus_sensor_GetVideoRes(h, 1, &res), 0);
    EXPECT_EQ(res, &h->video_res[1]);
    EXPECT_EQ(h->pCus_sensor_GetVideoRes(h, 2, &res), -1);

    uint32_t index = 99;
    EXPECT_EQ(h->pCus_sensor_GetCurVideoRes(h, &index, &res), 0);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(res, &h->video_res[0]);

    h->video_res_cur = 5;
    EXPECT_EQ(h->pCus_sensor_GetCurVideoRes(h, &index, &res), -1);
    EXPECT_EQ(index, 5u);

    EXPECT_EQ(osMessages(), (std::vector<std::string>{
        "[pCus_GetVideoRes] Please check the number of resolutions supported by the sensor!\n",
        "[pCus_GetCurVideoRes] Please check the number of resolutions supported by the sensor!\n"}));
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, SelectingTheUhdModeSwitchesRoutineFrameLengthAndLinePeriod)
{
    params->fps = 12;
    params->exposure_pending = 0;
    h->res_changed = 0;
    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 1), 0);

    EXPECT_EQ(h->video_res_cur, 1u);
    EXPECT_EQ(h->pCus_sensor_init, &pCus_init_mipi4lane_8M30fps_linear);
    EXPECT_EQ(vts_30fps, 2326u);
    EXPECT_EQ(Preview_line_period, 14330u);
    EXPECT_EQ(params->vts, 2326u);
    EXPECT_EQ(params->fps, 30u);
    EXPECT_EQ(h->res_changed, 1u);
    EXPECT_EQ(pair(params->vts_reg), 2326u);
    EXPECT_EQ(params->exposure_pending, 0);
    EXPECT_TRUE(txns().empty());
    EXPECT_EQ(h->pCus_sensor_GetFPS(h), 30);

    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 0), 0);
    EXPECT_EQ(h->pCus_sensor_init, &pCus_init_mipi4lane_linear);
    EXPECT_EQ(vts_30fps, 1500u);
    EXPECT_EQ(Preview_line_period, 22222u);
    EXPECT_EQ(pair(params->vts_reg), 1500u);
}

TEST_F(PadTest, SelectingAMissingModeChangesNothing)
{
    EXPECT_EQ(h->pCus_sensor_SetVideoRes(h, 2), -1);
    EXPECT_EQ(osMessages(), (std::vector<std::string>{
        "[pCus_SetVideoRes] Please check the number of resolutions supported by the sensor!\n"}));
    EXPECT_EQ(h->video_res_cur, 0u);
    EXPECT_EQ(h->pCus_sensor_init, &pCus_init_mipi4lane_linear);
    EXPECT_EQ(vts_30fps, 1500u);
    EXPECT_EQ(params->fps, 0u);
}

TEST_F(PadTest, BothStartUpListsAreWrittenInOrder)
{
    ASSERT_EQ(h->pCus_sensor_init(h), 0);
    auto fhd = writes();
    expectTable(fhd, expectedTable(false));
    EXPECT_EQ(reg(0x0100), 0x01);

    clearBus();
    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 1), 0);
    ASSERT_EQ(h->pCus_sensor_init(h), 0);
    auto uhd = writes();
    expectTable(uhd, expectedTable(true));

    // Our own values for entries 3-83 are the same in both lists.
    ASSERT_EQ(fhd.size(), uhd.size());
    for (size_t i = 2; i < 83; ++i)
        EXPECT_EQ(fhd[i], uhd[i]) << "entry " << i + 1;
    EXPECT_TRUE(trace().empty());
}

TEST_F(PadTest, WriteSucceedingOnTheTenthAttemptDoesNotFailTheStart)
{
    failWrites(9);
    ASSERT_EQ(h->pCus_sensor_init(h), 0);
    auto all = txns();
    ASSERT_EQ(all.size(), 166u + 9u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(all[i].reg, 0x0136);
        EXPECT_EQ(all[i].ok, i == 9);
    }
    EXPECT_EQ(writes().size(), 166u);
    EXPECT_TRUE(osMessages().empty());
}

TEST_F(PadTest, TenFailedAttemptsEndTheStartWithAMessage)
{
    failWrites(10, 100);
    EXPECT_EQ(h->pCus_sensor_init(h), -1);
    auto all = txns();
    ASSERT_EQ(all.size(), 110u);
    for (size_t i = 100; i < 110; ++i) {
        EXPECT_EQ(all[i].reg, 0x0381);
        EXPECT_FALSE(all[i].ok);
    }
    EXPECT_EQ(writes().size(), 100u);
    EXPECT_EQ(reg(0x0100), 0);
    auto messages = osMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("[pCus_init_mipi4lane_linear:", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find("]Sensor init fail!!\n"), std::string::npos);

    clearBus();
    failWrites(10);
    ASSERT_EQ(h->pCus_sensor_SetVideoRes(h, 1), 0);
    EXPECT_EQ(h->pCus_sensor_init(h), -1);
    EXPECT_EQ(txns().size(), 10u);
    ASSERT_EQ(osMessages().size(), 1u);
    EXPECT_EQ(osMessages()[0].rfind("[pCus_init_mipi4lane_8M30fps_linear:", 0), 0u);
}

TEST_F(PadTest, PauseEntrySleepsWithoutWriting)
{
    const sensor_reg_entry table[] = {{0x0103, 0x01}, {0xFFFF, 5}, {0x0100, 0x01}};
    ASSERT_EQ(imx380_write_table(h, table, std::size(table), "pause"), 0);
    EXPECT_EQ(writes(), (std::vector<RegWrite>{{0x0103, 0x01}, {0x0100, 0x01}}));
    auto events = trace();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SIM_EV_MS_SLEEP);
    EXPECT_EQ(events[0].args[0], 5);
}
