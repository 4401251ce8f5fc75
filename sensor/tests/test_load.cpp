// Module load and unload: parameters, interface handshake, per-pad
// registration and release.
#include "imx380_fixture.h"

#include <cstring>

namespace {

struct ParamDecl {
    const char *name;
    const char *type;
    int perm;
    const char *desc;
};

const ParamDecl kParams[] = {
    {"sensor_module_version", "charp", 0444, nullptr},
    {"mclk", "charp", 0660, "Assign MCLK"},
    {"chmap", "int", 0660, "VIF channel mapping"},
    {"i2c_slave_id", "int", 0660, "sensor i2c slave id"},
    {"hdr_lane_num", "int", 0660, "sensor output lane number"},
    {"lane_num", "int", 0660, "sensor output lane number"},
};

std::vector<sim_event> registryEvents(const std::vector<sim_event> &all)
{
    std::vector<sim_event> out;
    for (const auto &ev : all)
        if (ev.kind == SIM_EV_REGISTER || ev.kind == SIM_EV_SLAVE_ID || ev.kind == SIM_EV_RELEASE)
            out.push_back(ev);
    return out;
}

} // namespace

TEST_F(ModuleTest, DeclaresItsParametersLicenceAndDescription)
{
    ASSERT_EQ(sim_param_count(), std::size(kParams));
    for (const auto &decl : kParams) {
        SCOPED_TRACE(decl.name);
        const sim_param *p = sim_param_find(decl.name);
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p->type, decl.type);
        EXPECT_EQ(p->perm, decl.perm);
        if (decl.desc) {
            EXPECT_STREQ(p->desc, decl.desc);
        } else {
            EXPECT_EQ(p->desc, nullptr);
        }
    }
    EXPECT_EQ(sim_param_find("chmap")->int_default, 0);
    EXPECT_EQ(sim_param_find("i2c_slave_id")->int_default, 0);
    EXPECT_EQ(sim_param_find("hdr_lane_num")->int_default, 4);
    EXPECT_EQ(sim_param_find("lane_num")->int_default, 2);
    EXPECT_STREQ(sim_param_find("mclk")->charp_default, "use default parameter");
    EXPECT_GT(std::strlen(sim_param_find("sensor_module_version")->charp_default), 0u);
    EXPECT_STREQ(sim_modinfo("license"), "Proprietary");
    EXPECT_STREQ(sim_modinfo("description"), "Sensor_IMX380");
}

TEST_F(ModuleTest, DefaultChannelMapRegistersNothing)
{
    EXPECT_EQ(load(0), 0);
    EXPECT_TRUE(registryEvents(trace()).empty());
    EXPECT_EQ(sim_klog_count(), 0u);
    EXPECT_EQ(sim_os_live_allocs(), 0u);
    sim_module_unload();
    EXPECT_TRUE(registryEvents(trace()).empty());
}

TEST_F(ModuleTest, ChannelMapFiveRegistersPadsZeroAndTwoWithTheirSlaveIds)
{
    ASSERT_EQ(load(0x5, 0x00A2B3C4), 0);

    auto events = registryEvents(trace());
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, SIM_EV_REGISTER);
    EXPECT_EQ(events[0].pad, 0u);
    EXPECT_EQ(events[1].kind, SIM_EV_SLAVE_ID);
    EXPECT_EQ(events[1].args[0], 0xC4);
    EXPECT_EQ(events[2].kind, SIM_EV_REGISTER);
    EXPECT_EQ(events[2].pad, 2u);
    EXPECT_EQ(events[3].kind, SIM_EV_SLAVE_ID);
    EXPECT_EQ(events[3].args[0], 0xA2);

    sim_pad *pad0 = sim_framework_pad(0);
    sim_pad *pad2 = sim_framework_pad(2);
    EXPECT_TRUE(pad0->registered);
    EXPECT_FALSE(sim_framework_pad(1)->registered);
    EXPECT_TRUE(pad2->registered);
    EXPECT_FALSE(sim_framework_pad(3)->registered);
    EXPECT_EQ(pad0->init_fn, &cus_camsensor_init_handle_linear);
    ASSERT_NE(pad0->private_data, nullptr);
    EXPECT_NE(pad0->private_data, pad2->private_data);
    imx380_params zero{};
    EXPECT_EQ(std::memcmp(pad0->private_data, &zero, sizeof(zero)), 0);

    ASSERT_EQ(sim_klog_count(), 2u);
    EXPECT_EQ(sim_klog_at(0)->level, 6);
    EXPECT_STREQ(sim_klog_at(0)->text, "Connect IMX380_init_driver linear to sensor pad 0\n");
    EXPECT_STREQ(sim_klog_at(1)->text, "Connect IMX380_init_driver linear to sensor pad 2\n");

    sim_trace_clear();
    sim_module_unload();
    events = registryEvents(trace());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].pad, 0u);
    EXPECT_EQ(events[1].pad, 2u);
    EXPECT_EQ(sim_os_live_allocs(), 0u);
}

TEST_F(ModuleTest, ChannelMapBitsAboveThreeAreIgnored)
{
    ASSERT_EQ(load(0x7F2), 0);
    auto events = registryEvents(trace());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].pad, 1u);
    EXPECT_EQ(sim_os_live_allocs(), 1u);
    ASSERT_EQ(sim_klog_count(), 1u);
    EXPECT_STREQ(sim_klog_at(0)->text, "Connect IMX380_init_driver linear to sensor pad 1\n");
}

class HandshakeTest : public ModuleTest, public ::testing::WithParamInterface<int> {};

TEST_P(HandshakeTest, FailingStepEndsTheLoadBeforeLaterCalls)
{
    const int failing = GetParam();
    const sim_event_kind kinds[] = {SIM_EV_HANDLE_VER, SIM_EV_IF_VER, SIM_EV_I2C_VER};
    sim_framework_set_version(static_cast<sim_version_if>(failing), 9, 0);

    EXPECT_EQ(load(0xF, 0x01020304), -1);

    auto events = trace();
    ASSERT_EQ(events.size(), static_cast<size_t>(failing + 1));
    for (int i = 0; i <= failing; ++i)
        EXPECT_EQ(events[static_cast<size_t>(i)].kind, kinds[i]);
    EXPECT_EQ(sim_os_live_allocs(), 0u);
    EXPECT_EQ(sim_klog_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachStep, HandshakeTest, ::testing::Values(0, 1, 2));

TEST_F(ModuleTest, HandshakeAsksForTheExpectedVersions)
{
    ASSERT_EQ(load(0), 0);
    auto events = trace();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].args[0], 2);
    EXPECT_EQ(events[0].args[1], 2);
    EXPECT_EQ(events[1].args[0], 2);
    EXPECT_EQ(events[1].args[1], 1);
    EXPECT_EQ(events[2].args[0], 1);
    EXPECT_EQ(events[2].args[1], 1);
}

TEST_F(ModuleTest, PadWithoutMemoryIsSkippedAndTheOthersLoad)
{
    sim_os_fail_allocs(1);
    ASSERT_EQ(load(0x5), 0);

    EXPECT_FALSE(sim_framework_pad(0)->registered);
    EXPECT_TRUE(sim_framework_pad(2)->registered);
    ASSERT_EQ(sim_os_message_count(), 1u);
    EXPECT_STREQ(sim_os_message(0), "[IMX380_init_driver] No memory for sensor pad 0, pad skipped!\n");
    ASSERT_EQ(sim_klog_count(), 1u);
    EXPECT_STREQ(sim_klog_at(0)->text, "Connect IMX380_init_driver linear to sensor pad 2\n");

    sim_trace_clear();
    sim_module_unload();
    auto events = registryEvents(trace());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].pad, 2u);
}

TEST_F(ModuleTest, UnloadReleasesThePadsOfTheLoadWhateverChannelMapSaysLater)
{
    for (int laterMap : {0x0, 0xF, 0xA}) {
        SCOPED_TRACE(laterMap);
        sim_framework_reset();
        ASSERT_EQ(load(0x5), 0);
        ASSERT_EQ(sim_param_set_int("chmap", laterMap), 0);
        sim_trace_clear();
        sim_module_unload();
        auto events = registryEvents(trace());
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].pad, 0u);
        EXPECT_EQ(events[1].pad, 2u);
        EXPECT_EQ(sim_os_live_allocs(), 0u);
    }
}
