/*
 * Video modes: the mode table, mode selection and the start-up routines.
 */
#include <linux/kernel.h>

#include "imx380.h"

#define IMX380_NOMINAL_FPS 30
#define IMX380_MIN_FPS 3
#define IMX380_NS_PER_S 1000000000U
#define IMX380_LINE_NS(vts) (IMX380_NS_PER_S / ((vts) * IMX380_NOMINAL_FPS))
#define IMX380_VTS_1080P 1500
#define IMX380_VTS_2160P 2326
#define IMX380_WRITE_ATTEMPTS 10

uint32_t vts_30fps = IMX380_VTS_1080P;
uint32_t Preview_line_period = IMX380_LINE_NS(IMX380_VTS_1080P);

const struct imx380_mode imx380_modes[IMX380_MODE_NUM] = {
	{
		.res = { 1920, 1080, IMX380_NOMINAL_FPS, IMX380_MIN_FPS, 0, 0, 1920, 1080,
			 "1920x1080@30fps" },
		.init = pCus_init_mipi4lane_linear,
		.vts_30fps = IMX380_VTS_1080P,
		.line_period_ns = IMX380_LINE_NS(IMX380_VTS_1080P),
	},
	{
		.res = { 3840, 2160, IMX380_NOMINAL_FPS, IMX380_MIN_FPS, 0, 0, 3840, 2160,
			 "3840x2160@30fps" },
		.init = pCus_init_mipi4lane_8M30fps_linear,
		.vts_30fps = IMX380_VTS_2160P,
		.line_period_ns = IMX380_LINE_NS(IMX380_VTS_2160P),
	},
};

static int imx380_res_index_ok(struct cus_camsensor_handle *handle, uint32_t index,
			       const char *caller)
{
	if (index < handle->video_res_num)
		return 1;
	CamOsPrintf("[%s] Please check the number of resolutions supported by the sensor!\n",
		    caller);
	return 0;
}

int pCus_GetVideoResNum(struct cus_camsensor_handle *handle, uint32_t *count)
{
	*count = handle->video_res_num;
	return 0;
}

int pCus_GetVideoRes(struct cus_camsensor_handle *handle, uint32_t index,
		     struct video_res_entry **res)
{
	if (!imx380_res_index_ok(handle, index, "pCus_GetVideoRes"))
		return -1;
	*res = &handle->video_res[index];
	return 0;
}

int pCus_GetCurVideoRes(struct cus_camsensor_handle *handle, uint32_t *index,
			struct video_res_entry **res)
{
	*index = handle->video_res_cur;
	if (!imx380_res_index_ok(handle, *index, "pCus_GetCurVideoRes"))
		return -1;
	*res = &handle->video_res[*index];
	return 0;
}

int pCus_SetVideoRes(struct cus_camsensor_handle *handle, uint32_t index)
{
	struct imx380_params *params = imx380_priv(handle);
	const struct imx380_mode *mode;

	if (!imx380_res_index_ok(handle, index, "pCus_SetVideoRes"))
		return -1;
	mode = &imx380_modes[index];
	handle->video_res_cur = index;
	handle->pCus_sensor_init = mode->init;
	vts_30fps = mode->vts_30fps;
	params->vts = mode->vts_30fps;
	params->fps = IMX380_NOMINAL_FPS;
	Preview_line_period = mode->line_period_ns;
	handle->res_changed = 1;
	imx380_set_pair(params->vts_reg, mode->vts_30fps);
	return 0;
}

static int imx380_write_reg_retry(struct cus_camsensor_handle *handle,
				  const struct sensor_reg_entry *entry)
{
	int attempt;

	for (attempt = 0; attempt < IMX380_WRITE_ATTEMPTS; attempt++)
		if (handle->i2c_if->WriteReg(handle->i2c_if, &handle->i2c_cfg, entry->reg,
					     entry->data) == 0)
			return 0;
	return -1;
}

int imx380_write_table(struct cus_camsensor_handle *handle,
		       const struct sensor_reg_entry *table, size_t count,
		       const char *routine)
{
	size_t i;

	for (i = 0; i < count; i++) {
		if (table[i].reg == IMX380_REG_PAUSE) {
			CamOsMsSleep(table[i].data);
			continue;
		}
		if (imx380_write_reg_retry(handle, &table[i])) {
			CamOsPrintf("[%s:%d]Sensor init fail!!\n", routine, __LINE__);
			return -1;
		}
	}
	return 0;
}

int pCus_init_mipi4lane_linear(struct cus_camsensor_handle *handle)
{
	return imx380_write_table(handle, imx380_init_1080p, ARRAY_SIZE(imx380_init_1080p),
				  __func__);
}

int pCus_init_mipi4lane_8M30fps_linear(struct cus_camsensor_handle *handle)
{
	return imx380_write_table(handle, imx380_init_2160p, ARRAY_SIZE(imx380_init_2160p),
				  __func__);
}
