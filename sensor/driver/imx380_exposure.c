/*
 * Exposure requests: microseconds to sensor lines, with the frame length
 * stretched when the exposure needs more lines than the frame has.
 */
#include "imx380.h"

#define IMX380_NS_PER_US 1000U
#define IMX380_VTS_MARGIN 10U
#define IMX380_MAX_SHUTTER_NS 333333333U

/*
 * Longer requests would wrap us * 1000 in 32 bits and the 16-bit exposure and
 * frame length registers; callers are promised this limit anyway.
 */
static uint32_t imx380_clamp_exposure(uint32_t us)
{
	return us > IMX380_MAX_EXPOSURE_US ? IMX380_MAX_EXPOSURE_US : us;
}

int pCus_SetAEUSecs(struct cus_camsensor_handle *handle, uint32_t us)
{
	struct imx380_params *params = imx380_priv(handle);
	uint32_t lines;
	uint32_t frame_length;

	params->expo_us = us;
	lines = imx380_clamp_exposure(us) * IMX380_NS_PER_US / Preview_line_period;
	params->expo_lines = lines;
	imx380_set_pair(params->expo_reg, lines);
	frame_length = lines > params->vts ? lines + IMX380_VTS_MARGIN : params->vts;
	imx380_set_pair(params->vts_reg, frame_length);
	params->exposure_pending = 1;
	return 0;
}

int pCus_GetAEUSecs(struct cus_camsensor_handle *handle, uint32_t *us)
{
	struct imx380_params *params = imx380_priv(handle);

	*us = imx380_get_pair(params->expo_reg) * Preview_line_period / IMX380_NS_PER_US;
	return 0;
}

int pCus_GetAEMinMaxUSecs(struct cus_camsensor_handle *handle, uint32_t *min, uint32_t *max)
{
	(void)handle;
	*min = IMX380_MIN_EXPOSURE_US;
	*max = IMX380_MAX_EXPOSURE_US;
	return 0;
}

int IMX380_GetShutterInfo(struct cus_camsensor_handle *handle, struct cus_shutter_info *info)
{
	(void)handle;
	info->max_shutter_ns = IMX380_MAX_SHUTTER_NS;
	info->min_shutter_ns = Preview_line_period;
	info->step_ns = Preview_line_period;
	return 0;
}
