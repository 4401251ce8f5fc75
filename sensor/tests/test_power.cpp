// Power sequences on the pad and sensor identification.
#include "imx380_fixture.h"

namespace {

struct Step {
    sim_event_kind kind;
    int a, b, c;
};

void expectSteps(const std::vector<sim_event> &got, const std::vector<Step> &want, uint32_t pad)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].kind, want[i].kind);
        const bool delay = want[i].kind == SIM_EV_MS_SLEEP || want[i].kind == SIM_EV_US_DELAY;
        if (!delay) {
            EXPECT_EQ(got[i].pad, pad);
        }
        EXPECT_EQ(got[i].args[0], want[i].a);
        EXPECT_EQ(got[i].args[1], want[i].b);
        EXPECT_EQ(got[i].args[2], want[i].c);
    }
}

std::vector<Step> powerOnSteps(int on, bool hdr)
{
    std::vector<Step> steps = {
        {SIM_EV_POWER_DOWN, on, 0, 0}, {SIM_EV_RESET, on, 0, 0},   {SIM_EV_BUS, 1, 4, 0},
        {SIM_EV_PAD_MODE, 4, 0, 0},    {SIM_EV_LANES, 4, 1, 0},    {SIM_EV_PACKET, 0, 0x1C00, 0}};
    if (hdr)
        steps.push_back({SIM_EV_HDR, 1, 1, 0});
    std::vector<Step> tail = {{SIM_EV_POWER_DOWN, on, 0, 0}, {SIM_EV_MS_SLEEP, 40, 0, 0},
                              {SIM_EV_RESET, on, 0, 0},      {SIM_EV_US_DELAY, 1, 0, 0},
                              {SIM_EV_MCLK, 1, 10, 0},       {SIM_EV_US_DELAY, 20, 0, 0}};
    steps.insert(steps.end(), tail.begin(), tail.end());
    return steps;
}

} // namespace

TEST_F(PadTest, PowerOnDrivesBothLinesActiveThenStartsTheClock)
{
    EXPECT_EQ(h->pCus_sensor_poweron(h, 0), 0);
    expectSteps(trace(), powerOnSteps(0, false), 0);

    sim_trace_clear();
    h->hdr_mode = 1;
    h->pwdn_off_level = 0;
    h->reset_off_level = 0;
    EXPECT_EQ(h->pCus_sensor_poweron(h, 3), 0);
    expectSteps(trace(), powerOnSteps(1, true), 3);
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, PowerOffReleasesLinesStopsClockAndResetsOrientation)
{
    h->orient = 3;
    params->orient_pending = 1;
    EXPECT_EQ(h->pCus_sensor_poweroff(h, 0), 0);
    expectSteps(trace(),
                {{SIM_EV_POWER_DOWN, 1, 0, 0},
                 {SIM_EV_RESET, 1, 0, 0},
                 {SIM_EV_MCLK, 0, 10, 0},
                 {SIM_EV_PAD_MODE, -1, 0, 0}},
                0);
    EXPECT_EQ(h->orient, 0);
    EXPECT_EQ(params->orient_pending, 1);

    sim_trace_clear();
    h->hdr_mode = 1;
    EXPECT_EQ(h->pCus_sensor_poweroff(h, 1), 0);
    ASSERT_EQ(trace().size(), 5u);
    EXPECT_EQ(trace()[4].kind, SIM_EV_HDR);
    EXPECT_EQ(trace()[4].args[1], 0);
}

TEST_F(PadTest, IdentificationReadsBothIdBytes)
{
    uint32_t id = 7;
    EXPECT_EQ(h->pCus_sensor_GetSensorID(h, &id), 0);
    EXPECT_EQ(id, 0x80u);
    auto all = txns();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].op, SIM_I2C_READ);
    EXPECT_EQ(all[0].reg, 0x0016);
    EXPECT_EQ(all[1].reg, 0x0017);
    EXPECT_TRUE(trace().empty());
}

TEST_F(PadTest, IdentificationRetriesAfterFailedReads)
{
    failReads(3);
    uint32_t id = 0;
    EXPECT_EQ(h->pCus_sensor_GetSensorID(h, &id), 0);
    EXPECT_EQ(id, 0x80u);
    expectSteps(trace(),
                {{SIM_EV_MS_SLEEP, 1, 0, 0}, {SIM_EV_MS_SLEEP, 1, 0, 0}, {SIM_EV_MS_SLEEP, 1, 0, 0}},
                0);

    // A sensor that never answers: four attempts, each followed by a pause.
    clearBus();
    failReads(100);
    id = 5;
    EXPECT_EQ(h->pCus_sensor_GetSensorID(h, &id), -1);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(txns().size(), 4u);
    EXPECT_EQ(trace().size(), 4u);
}

TEST_F(PadTest, IdentificationRejectsOtherIdBytes)
{
    uint32_t id = 0;
    setReg(0x0017, 0x81);
    EXPECT_EQ(h->pCus_sensor_GetSensorID(h, &id), -1);
    EXPECT_EQ(id, 0x03u);

    setReg(0x0016, 0x02);
    setReg(0x0017, 0x80);
    EXPECT_EQ(h->pCus_sensor_GetSensorID(h, &id), -1);
    EXPECT_EQ(id, 0u);
}
