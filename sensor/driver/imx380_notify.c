/*
 * Frame-event notification: pending shadows reach the sensor together under
 * one grouped parameter hold, so they take effect on the same frame.
 */
#include "imx380.h"

#define IMX380_REG_GROUP_HOLD 0x0104
#define IMX380_HOLD_RELEASE_ATTEMPTS 10

static int imx380_write(struct cus_camsensor_handle *handle, uint16_t reg, uint16_t value)
{
	return handle->i2c_if->WriteReg(handle->i2c_if, &handle->i2c_cfg, reg, value);
}

static void imx380_write_list(struct cus_camsensor_handle *handle,
			      const struct sensor_reg_entry *list, int count)
{
	handle->i2c_if->WriteRegArray(handle->i2c_if, &handle->i2c_cfg, list, count);
}

static void imx380_flush_exposure(struct cus_camsensor_handle *handle,
				  struct imx380_params *params)
{
	imx380_write_list(handle, params->expo_reg, IMX380_EXPO_REG_NUM);
	imx380_write_list(handle, params->gain_reg, IMX380_GAIN_REG_NUM);
	imx380_write_list(handle, params->vts_reg, IMX380_VTS_REG_NUM);
	params->exposure_pending = 0;
}

/* A failed read leaves the request pending rather than writing unknown bits back. */
static void imx380_flush_orientation(struct cus_camsensor_handle *handle,
				     struct imx380_params *params)
{
	uint16_t value;

	if (handle->i2c_if->ReadReg(handle->i2c_if, &handle->i2c_cfg, IMX380_REG_ORIENT, &value)) {
		CamOsPrintf("[%s] Orientation read failed, kept pending!\n",
			    "pCus_AEStatusNotify");
		return;
	}
	value = (uint16_t)((value & ~IMX380_ORIENT_MASK) | (uint16_t)imx380_orient_bits(handle));
	imx380_write(handle, IMX380_REG_ORIENT, value);
	params->orient_pending = 0;
}

/* A hold left open would freeze every later register update, so its release is retried. */
static void imx380_release_hold(struct cus_camsensor_handle *handle)
{
	int attempt;

	for (attempt = 0; attempt < IMX380_HOLD_RELEASE_ATTEMPTS; attempt++)
		if (imx380_write(handle, IMX380_REG_GROUP_HOLD, 0) == 0)
			return;
	CamOsPrintf("[%s] Grouped hold release failed!\n", "pCus_AEStatusNotify");
}

int pCus_AEStatusNotify(struct cus_camsensor_handle *handle, int status)
{
	struct imx380_params *params = imx380_priv(handle);

	if (status != CUS_FRAME_ACTIVE)
		return 0;
	if (!params->exposure_pending && !params->orient_pending)
		return 0;
	imx380_write(handle, IMX380_REG_GROUP_HOLD, 1);
	if (params->exposure_pending)
		imx380_flush_exposure(handle, params);
	if (params->orient_pending)
		imx380_flush_orientation(handle, params);
	imx380_release_hold(handle);
	return 0;
}
