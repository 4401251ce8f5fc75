/*
 * Mirror and flip requests.
 */
#include "imx380.h"

int pCus_SetOrien(struct cus_camsensor_handle *handle, int orient)
{
	handle->orient = orient;
	imx380_priv(handle)->orient_pending = 1;
	return 0;
}

int pCus_GetOrien(struct cus_camsensor_handle *handle, int *orient)
{
	uint16_t value;

	if (handle->i2c_if->ReadReg(handle->i2c_if, &handle->i2c_cfg, IMX380_REG_ORIENT, &value)) {
		CamOsPrintf("[%s] Orientation read failed!\n", __func__);
		return -1;
	}
	*orient = value & IMX380_ORIENT_MASK;
	return 0;
}

int imx380_orient_bits(struct cus_camsensor_handle *handle)
{
	if (handle->orient >= 0 && handle->orient <= IMX380_ORIENT_MASK)
		return handle->orient;
	handle->orient = 0;
	return 0;
}
