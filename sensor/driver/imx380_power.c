/*
 * Power sequences on the sensor pad.
 */
#include "imx380.h"

#define IMX380_PAD_MODE_MIPI 4
#define IMX380_PAD_MODE_OFF (-1)
#define IMX380_PACKET_RAW10 0x1C00
#define IMX380_PWDN_SETTLE_MS 40
#define IMX380_RESET_SETTLE_US 1
#define IMX380_MCLK_SETTLE_US 20

static int imx380_on_level(uint32_t off_level)
{
	return off_level == 0 ? 1 : 0;
}

int pCus_poweron(struct cus_camsensor_handle *handle, uint32_t pad)
{
	struct sensor_pad_if *pad_if = &handle->pad_if;
	int pwdn_on = imx380_on_level(handle->pwdn_off_level);
	int reset_on = imx380_on_level(handle->reset_off_level);
	int lanes = (int)handle->mipi_lanes;

	pad_if->set_power_down(pad, pwdn_on);
	pad_if->set_reset(pad, reset_on);
	pad_if->set_bus(pad, (int)handle->bus_type, lanes);
	pad_if->set_pad_mode(pad, IMX380_PAD_MODE_MIPI);
	pad_if->set_lanes(pad, lanes, 1);
	pad_if->set_packet_config(pad, 0, IMX380_PACKET_RAW10, 0);
	if (handle->hdr_mode == 1)
		pad_if->set_hdr(pad, 1, 1);
	pad_if->set_power_down(pad, pwdn_on);
	CamOsMsSleep(IMX380_PWDN_SETTLE_MS);
	pad_if->set_reset(pad, reset_on);
	CamOsUsDelay(IMX380_RESET_SETTLE_US);
	pad_if->set_mclk(pad, 1, (int)handle->mclk_code);
	CamOsUsDelay(IMX380_MCLK_SETTLE_US);
	return 0;
}

int pCus_poweroff(struct cus_camsensor_handle *handle, uint32_t pad)
{
	struct sensor_pad_if *pad_if = &handle->pad_if;

	pad_if->set_power_down(pad, (int)handle->pwdn_off_level);
	pad_if->set_reset(pad, (int)handle->reset_off_level);
	pad_if->set_mclk(pad, 0, (int)handle->mclk_code);
	pad_if->set_pad_mode(pad, IMX380_PAD_MODE_OFF);
	if (handle->hdr_mode == 1)
		pad_if->set_hdr(pad, 1, 0);
	handle->orient = 0;
	return 0;
}
