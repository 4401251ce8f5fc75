// The framework's start-up run that the kernel test drives, checked here on
// the same simulation with the values the kernel test expects.
#include "imx380_fixture.h"

TEST_F(ModuleTest, ExerciseStartsTheSensorAndAppliesEveryRequest)
{
    ASSERT_EQ(load(0x5, 0x00200010), 0);
    ASSERT_EQ(sim_exercise_pad(2), 0);

    EXPECT_EQ(osMessages(), (std::vector<std::string>{
        "[sim_exercise] pad 2 attach 0\n",
        "[sim_exercise] pad 2 poweron 0 id 0x80/0 mode 0 init 0\n",
        "[sim_exercise] pad 2 requests 0\n",
        "[sim_exercise] pad 2 exposure 19990 gain 65536 fps 25 orient 3\n",
        "[sim_exercise] pad 2 done\n"}));

    const uint8_t *regs = sim_framework_pad(2)->sensor.regs;
    EXPECT_EQ(regs[0x0100], 0x01);
    EXPECT_EQ(regs[0x0104], 0x00);
    EXPECT_EQ(regs[0x0202] << 8 | regs[0x0203], 1395);
    EXPECT_EQ(regs[0x0204] << 8 | regs[0x0205], 978);
    EXPECT_EQ(regs[0x020E], 0x02);
    EXPECT_EQ(regs[0x020F], 0xE0);
    EXPECT_EQ(regs[0x0340] << 8 | regs[0x0341], 2791);
    EXPECT_EQ(regs[0x0101], 0x03);
    EXPECT_EQ(regs[0x0901], 0x11);
    EXPECT_EQ(sim_framework_pad(2)->slave_id, 0x20);
    EXPECT_EQ(sim_sensor_txn_count(&sim_framework_pad(0)->sensor), 0u);
}

TEST_F(ModuleTest, ExerciseOfAnUnregisteredPadFails)
{
    ASSERT_EQ(load(0x1), 0);
    EXPECT_EQ(sim_exercise_pad(1), -1);
    EXPECT_EQ(osMessages(), (std::vector<std::string>{"[sim_exercise] pad 1 attach -1\n"}));
}
