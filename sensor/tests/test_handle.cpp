// Filling the framework's handle for a registered pad.
#include "imx380_fixture.h"

TEST_F(ModuleTest, FillRefusesNullHandleSilentlyAndMissingPrivateDataWithAMessage)
{
    EXPECT_EQ(cus_camsensor_init_handle_linear(nullptr), -1);
    EXPECT_EQ(sim_os_message_count(), 0u);

    cus_camsensor_handle handle{};
    EXPECT_EQ(cus_camsensor_init_handle_linear(&handle), -1);
    ASSERT_EQ(sim_os_message_count(), 1u);
    EXPECT_STREQ(sim_os_message(0), "[cus_camsensor_init_handle_linear] Private data is empty!\n");
    EXPECT_EQ(handle.pCus_sensor_poweron, nullptr);
}

TEST_F(PadTest, FillSetsTheSensorSettings)
{
    EXPECT_STREQ(h->model_id, "IMX380_MIPI");
    EXPECT_EQ(h->i2c_cfg.mode, 1);
    EXPECT_EQ(h->i2c_cfg.fmt, 1);
    EXPECT_EQ(h->i2c_cfg.speed, 240000u);
    EXPECT_EQ(h->i2c_cfg.address, 0x34);
    EXPECT_EQ(h->input_format, 2u);
    EXPECT_EQ(h->output_format, 2u);
    EXPECT_EQ(h->bayer_order, 1u);
    EXPECT_EQ(h->bit_depth, 1u);
    EXPECT_EQ(h->reset_off_level, 1u);
    EXPECT_EQ(h->pwdn_off_level, 1u);
    EXPECT_EQ(h->vsync_polarity, 1u);
    EXPECT_EQ(h->hsync_polarity, 0u);
    EXPECT_EQ(h->pclk_polarity, 0u);
    EXPECT_EQ(h->bus_type, 1u);
    EXPECT_EQ(h->res_changed, 1u);
    EXPECT_EQ(h->ae_delay_frames, 4u);
    EXPECT_EQ(h->orient, 0);
    EXPECT_EQ(h->video_res_num, 2u);
    EXPECT_EQ(h->video_res_cur, 0u);
    EXPECT_EQ(h->mipi_lanes, 4u);
    EXPECT_EQ(h->mipi_hsync_mode, 1u);
    EXPECT_EQ(h->mipi_sampling_delay, 0u);
    EXPECT_EQ(h->mipi_virtual_channel, 0u);
    EXPECT_EQ(h->hdr_mode, 0u);
    EXPECT_EQ(h->hdr_channel, 0u);
    EXPECT_EQ(h->mclk_code, 10u);
    EXPECT_EQ(h->gain_unit, 1024u);
}

TEST_F(PadTest, FillSetsTheModeTable)
{
    struct Expected {
        uint32_t w, h;
        const char *desc;
    };
    const Expected modes[] = {{1920, 1080, "1920x1080@30fps"}, {3840, 2160, "3840x2160@30fps"}};
    for (size_t i = 0; i < std::size(modes); ++i) {
        SCOPED_TRACE(i);
        const video_res_entry &res = h->video_res[i];
        EXPECT_EQ(res.width, modes[i].w);
        EXPECT_EQ(res.height, modes[i].h);
        EXPECT_EQ(res.max_fps, 30u);
        EXPECT_EQ(res.min_fps, 3u);
        EXPECT_EQ(res.crop_start_x, 0u);
        EXPECT_EQ(res.crop_start_y, 0u);
        EXPECT_EQ(res.output_width, modes[i].w);
        EXPECT_EQ(res.output_height, modes[i].h);
        EXPECT_STREQ(res.desc, modes[i].desc);
    }
}

// Every other callback is exercised through its slot by the behaviour tests.
TEST_F(PadTest, FillLeavesTheFrameworkSlotsAndObjects)
{
    EXPECT_EQ(h->pCus_sensor_init, &pCus_init_mipi4lane_linear);
    EXPECT_EQ(h->pCus_sensor_suspend, &sim_fw_suspend);
    EXPECT_EQ(h->pCus_sensor_resume, &sim_fw_resume);
    EXPECT_EQ(h->pCus_sensor_GetTemperature, &sim_fw_get_temperature);
    EXPECT_EQ(h->i2c_if, &pad_->i2c);
    EXPECT_EQ(h->private_data, pad_->private_data);
}

TEST_F(PadTest, FillStartsTheShadowsFromTheirTemplates)
{
    const sensor_reg_entry vts[] = {{0x0340, 0x05}, {0x0341, 0xDC}};
    const sensor_reg_entry expo[] = {{0x0202, 0x00}, {0x0203, 0x08}};
    const sensor_reg_entry gain[] = {{0x0204, 0x00}, {0x0205, 0x00}, {0x020E, 0x01}, {0x020F, 0x00}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(params->vts_reg[i].reg, vts[i].reg);
        EXPECT_EQ(params->vts_reg[i].data, vts[i].data);
        EXPECT_EQ(params->expo_reg[i].reg, expo[i].reg);
        EXPECT_EQ(params->expo_reg[i].data, expo[i].data);
    }
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(params->gain_reg[i].reg, gain[i].reg);
        EXPECT_EQ(params->gain_reg[i].data, gain[i].data);
    }
    EXPECT_EQ(params->vts, 1500u);
    EXPECT_EQ(params->gain, 0u);
    EXPECT_EQ(params->fps, 0u);
    EXPECT_EQ(params->expo_lines, 0u);
    EXPECT_EQ(params->expo_us, 0u);
    EXPECT_EQ(params->exposure_pending, 0);
    EXPECT_EQ(params->orient_pending, 0);
}

TEST_F(PadTest, ReleaseAndPatternModeAcceptWithoutBusTraffic)
{
    EXPECT_EQ(h->pCus_sensor_release(h), 0);
    EXPECT_EQ(h->pCus_sensor_SetPatternMode(h, 1), 0);
    EXPECT_TRUE(txns().empty());
}
