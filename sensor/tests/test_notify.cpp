// Frame-event notification and orientation: pending shadows reach the sensor
// under one grouped hold.
#include "imx380_fixture.h"

TEST_F(PadTest, NotificationWritesExposureGainAndFrameLengthUnderOneHold)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 33356), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEGain(h, 65536), 0);
    EXPECT_TRUE(txns().empty());

    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(writes(), (std::vector<RegWrite>{{0x0104, 1},
                                               {0x0202, 0x05}, {0x0203, 0xDD},
                                               {0x0204, 0x03}, {0x0205, 0xD2},
                                               {0x020E, 0x02}, {0x020F, 0xE0},
                                               {0x0340, 0x05}, {0x0341, 0xE7},
                                               {0x0104, 0}}));
    EXPECT_EQ(txns().size(), 10u);
    EXPECT_EQ(params->exposure_pending, 0);

    clearBus();
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, SeveralRequestsBetweenFramesCoalesce)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEGain(h, 2048), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 20000), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEGain(h, 4096), 0);
    ASSERT_EQ(h->pCus_sensor_SetFPS(h, 15), 0);

    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(writes().size(), 10u);
    EXPECT_EQ(reg(0x0202) << 8 | reg(0x0203), 900);
    EXPECT_EQ(reg(0x0204) << 8 | reg(0x0205), 768);
    EXPECT_EQ(reg(0x0340) << 8 | reg(0x0341), 3000);
}

TEST_F(PadTest, InactiveFrameStatusWritesNothingAndKeepsRequestsPending)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    ASSERT_EQ(h->pCus_sensor_SetOrien(h, 1), 0);
    for (int status : {0, 2, -1})
        EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, status), 0);
    EXPECT_TRUE(txns().empty());
    EXPECT_EQ(params->exposure_pending, 1);
    EXPECT_EQ(params->orient_pending, 1);

    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(reg(0x0202) << 8 | reg(0x0203), 450);
    EXPECT_EQ(reg(0x0101), 0x01);
}

TEST_F(PadTest, NothingPendingMeansNoBusTraffic)
{
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_TRUE(txns().empty());
}

TEST_F(PadTest, OrientationCodesSetTheMirrorAndFlipBits)
{
    struct Case {
        int code;
        uint8_t bits;
        int handleAfter;
    };
    const Case cases[] = {{0, 0x00, 0}, {1, 0x01, 1}, {2, 0x02, 2}, {3, 0x03, 3}, {5, 0x00, 0}, {-2, 0x00, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        clearBus();
        setReg(0x0101, 0xF3);
        ASSERT_EQ(h->pCus_sensor_SetOrien(h, c.code), 0);
        EXPECT_EQ(h->orient, c.code);
        EXPECT_TRUE(txns().empty());
        EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
        EXPECT_EQ(reg(0x0101), 0xF0 | c.bits);
        EXPECT_EQ(h->orient, c.handleAfter);
        EXPECT_EQ(params->orient_pending, 0);
        EXPECT_EQ(writes(), (std::vector<RegWrite>{{0x0104, 1}, {0x0101, 0xF0 | c.bits}, {0x0104, 0}}));

        int got = -1;
        EXPECT_EQ(h->pCus_sensor_GetOrien(h, &got), 0);
        EXPECT_EQ(got, c.bits);
    }
}

TEST_F(PadTest, PendingOrientationIsNotReportedBeforeItIsWritten)
{
    ASSERT_EQ(h->pCus_sensor_SetOrien(h, 2), 0);
    int got = -1;
    EXPECT_EQ(h->pCus_sensor_GetOrien(h, &got), 0);
    EXPECT_EQ(got, 0);
}

TEST_F(PadTest, FailedOrientationReadReportsNothingAndWritesNothingBack)
{
    setReg(0x0101, 0x02);
    failReads(1);
    int got = 42;
    EXPECT_EQ(h->pCus_sensor_GetOrien(h, &got), -1);
    EXPECT_EQ(got, 42);
    EXPECT_EQ(osMessages(), (std::vector<std::string>{"[pCus_GetOrien] Orientation read failed!\n"}));

    clearBus();
    ASSERT_EQ(h->pCus_sensor_SetOrien(h, 1), 0);
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    failReads(1);
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    auto w = writes();
    ASSERT_EQ(w.size(), 10u);
    EXPECT_EQ(w.front(), RegWrite(0x0104, 1));
    EXPECT_EQ(w.back(), RegWrite(0x0104, 0));
    for (const auto &entry : w)
        EXPECT_NE(entry.first, 0x0101);
    EXPECT_EQ(reg(0x0101), 0x02);
    EXPECT_EQ(params->orient_pending, 1);
    EXPECT_EQ(params->exposure_pending, 0);

    clearBus();
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(writes(), (std::vector<RegWrite>{{0x0104, 1}, {0x0101, 0x01}, {0x0104, 0}}));
    EXPECT_EQ(params->orient_pending, 0);
}

TEST_F(PadTest, BusFailuresDuringNotificationAreNotRetried)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    failWrites(1);
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(txns().size(), 10u);
    EXPECT_EQ(writes().size(), 9u);
    EXPECT_EQ(params->exposure_pending, 0);
}

TEST_F(PadTest, GroupedHoldReleaseIsRetriedUntilTheBusTakesIt)
{
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 10000), 0);
    failWrites(3, 9);
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(txns().size(), 13u);
    EXPECT_EQ(writes().back(), RegWrite(0x0104, 0));
    EXPECT_EQ(reg(0x0104), 0);
    EXPECT_TRUE(osMessages().empty());

    clearBus();
    ASSERT_EQ(h->pCus_sensor_SetAEUSecs(h, 20000), 0);
    failWrites(100, 9);
    EXPECT_EQ(h->pCus_sensor_AEStatusNotify(h, 1), 0);
    EXPECT_EQ(txns().size(), 19u);
    EXPECT_EQ(reg(0x0104), 1);
    EXPECT_EQ(osMessages(),
              (std::vector<std::string>{"[pCus_AEStatusNotify] Grouped hold release failed!\n"}));
}
