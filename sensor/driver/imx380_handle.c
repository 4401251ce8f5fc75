/*
 * Filling a pad's framework handle with the sensor's settings and callbacks.
 */
#include <linux/string.h>

#include "imx380.h"

#define IMX380_SENSOR_NAME "IMX380_MIPI"
#define IMX380_I2C_MODE 1
#define IMX380_I2C_FMT 1
#define IMX380_I2C_SPEED 240000
#define IMX380_I2C_ADDRESS 0x34
#define IMX380_BUS_MIPI 1
#define IMX380_MIPI_LANES 4
#define IMX380_MCLK_24M 10
#define IMX380_AE_DELAY_FRAMES 4
#define IMX380_GAIN_UNIT 1024

static const struct sensor_reg_entry imx380_vts_template[IMX380_VTS_REG_NUM] = {
	{ 0x0340, 0x05 },
	{ 0x0341, 0xDC },
};

static const struct sensor_reg_entry imx380_expo_template[IMX380_EXPO_REG_NUM] = {
	{ 0x0202, 0x00 },
	{ 0x0203, 0x08 },
};

static const struct sensor_reg_entry imx380_gain_template[IMX380_GAIN_REG_NUM] = {
	{ 0x0204, 0x00 },
	{ 0x0205, 0x00 },
	{ 0x020E, 0x01 },
	{ 0x020F, 0x00 },
};

static void imx380_fill_settings(struct cus_camsensor_handle *handle)
{
	strscpy(handle->model_id, IMX380_SENSOR_NAME, sizeof(handle->model_id));
	handle->i2c_cfg.mode = IMX380_I2C_MODE;
	handle->i2c_cfg.fmt = IMX380_I2C_FMT;
	handle->i2c_cfg.speed = IMX380_I2C_SPEED;
	handle->i2c_cfg.address = IMX380_I2C_ADDRESS;
	handle->input_format = 2;
	handle->output_format = 2;
	handle->bayer_order = 1;
	handle->bit_depth = 1;
	handle->reset_off_level = 1;
	handle->pwdn_off_level = 1;
	handle->vsync_polarity = 1;
	handle->hsync_polarity = 0;
	handle->pclk_polarity = 0;
	handle->bus_type = IMX380_BUS_MIPI;
	handle->res_changed = 1;
	handle->ae_delay_frames = IMX380_AE_DELAY_FRAMES;
	handle->orient = 0;
	handle->mipi_lanes = IMX380_MIPI_LANES;
	handle->mipi_hsync_mode = 1;
	handle->mipi_sampling_delay = 0;
	handle->mipi_virtual_channel = 0;
	handle->hdr_mode = 0;
	handle->hdr_channel = 0;
	handle->mclk_code = IMX380_MCLK_24M;
	handle->gain_unit = IMX380_GAIN_UNIT;
}

static void imx380_fill_modes(struct cus_camsensor_handle *handle)
{
	uint32_t i;

	for (i = 0; i < IMX380_MODE_NUM; i++)
		handle->video_res[i] = imx380_modes[i].res;
	handle->video_res_num = IMX380_MODE_NUM;
	handle->video_res_cur = 0;
}

static void imx380_fill_callbacks(struct cus_camsensor_handle *handle)
{
	handle->pCus_sensor_poweron = pCus_poweron;
	handle->pCus_sensor_poweroff = pCus_poweroff;
	handle->pCus_sensor_init = pCus_init_mipi4lane_linear;
	handle->pCus_sensor_release = cus_camsensor_release_handle;
	handle->pCus_sensor_SetPatternMode = imx380_SetPatternMode;
	handle->pCus_sensor_GetSensorID = pCus_GetSensorID;
	handle->pCus_sensor_GetVideoRes = pCus_GetVideoRes;
	handle->pCus_sensor_GetCurVideoRes = pCus_GetCurVideoRes;
	handle->pCus_sensor_SetVideoRes = pCus_SetVideoRes;
	handle->pCus_sensor_GetOrien = pCus_GetOrien;
	handle->pCus_sensor_SetOrien = pCus_SetOrien;
	handle->pCus_sensor_AEStatusNotify = pCus_AEStatusNotify;
	handle->pCus_sensor_GetAEUSecs = pCus_GetAEUSecs;
	handle->pCus_sensor_SetAEUSecs = pCus_SetAEUSecs;
	handle->pCus_sensor_GetAEGain = pCus_GetAEGain;
	handle->pCus_sensor_SetAEGain = pCus_SetAEGain;
	handle->pCus_sensor_GetAEMinMaxUSecs = pCus_GetAEMinMaxUSecs;
	handle->pCus_sensor_GetAEMinMaxGain = pCus_GetAEMinMaxGain;
	handle->pCus_sensor_GetFPS = pCus_GetFPS;
	handle->pCus_sensor_SetFPS = pCus_SetFPS;
	handle->pCus_sensor_GetShutterInfo = IMX380_GetShutterInfo;
	handle->pCus_sensor_GetVideoResNum = pCus_GetVideoResNum;
}

int cus_camsensor_init_handle_linear(struct cus_camsensor_handle *handle)
{
	struct imx380_params *params;

	if (!handle)
		return -1;
	params = imx380_priv(handle);
	if (!params) {
		CamOsPrintf("[%s] Private data is empty!\n", "cus_camsensor_init_handle_linear");
		return -1;
	}
	memcpy(params->vts_reg, imx380_vts_template, sizeof(params->vts_reg));
	memcpy(params->gain_reg, imx380_gain_template, sizeof(params->gain_reg));
	memcpy(params->expo_reg, imx380_expo_template, sizeof(params->expo_reg));
	imx380_fill_settings(handle);
	imx380_fill_modes(handle);
	imx380_fill_callbacks(handle);
	params->vts = vts_30fps;
	return 0;
}

int cus_camsensor_release_handle(struct cus_camsensor_handle *handle)
{
	(void)handle;
	return 0;
}

/* The sensor offers no test-pattern output; the request is accepted as a no-op. */
int imx380_SetPatternMode(struct cus_camsensor_handle *handle, uint32_t mode)
{
	(void)handle;
	(void)mode;
	return 0;
}
