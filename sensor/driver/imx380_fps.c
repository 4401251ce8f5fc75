/*
 * Frame-rate requests, plain or in thousandths of a frame per second.
 */
#include "imx380.h"

#define IMX380_FPS_MILLI 1000U

static const struct video_res_entry *imx380_cur_res(struct cus_camsensor_handle *handle)
{
	return &handle->video_res[handle->video_res_cur];
}

/* Frame length for the rate, rounded to the nearest whole line; 0 when refused. */
static uint32_t imx380_vts_for_rate(const struct video_res_entry *res, uint32_t rate)
{
	uint32_t numerator = res->max_fps * vts_30fps * IMX380_FPS_MILLI;

	if (rate >= res->min_fps && rate <= res->max_fps)
		return (numerator + rate * (IMX380_FPS_MILLI / 2)) / (rate * IMX380_FPS_MILLI);
	if (rate >= res->min_fps * IMX380_FPS_MILLI && rate <= res->max_fps * IMX380_FPS_MILLI)
		return (numerator + rate / 2) / rate;
	return 0;
}

int pCus_SetFPS(struct cus_camsensor_handle *handle, uint32_t fps)
{
	struct imx380_params *params = imx380_priv(handle);
	uint32_t vts = imx380_vts_for_rate(imx380_cur_res(handle), fps);

	if (!vts)
		return -1;
	params->fps = fps;
	params->exposure_pending = 1;
	params->vts = vts;
	return pCus_SetAEUSecs(handle, params->expo_us);
}

int pCus_GetFPS(struct cus_camsensor_handle *handle)
{
	struct imx380_params *params = imx380_priv(handle);
	uint32_t numerator = imx380_cur_res(handle)->max_fps * vts_30fps;

	if (params->fps >= IMX380_FPS_MILLI)
		numerator *= IMX380_FPS_MILLI;
	params->fps_reported = numerator / imx380_get_pair(params->vts_reg);
	return (int)params->fps_reported;
}
