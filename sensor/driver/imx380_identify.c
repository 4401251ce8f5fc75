/*
 * Sensor identification from the chip-id registers.
 */
#include <linux/kernel.h>

#include "imx380.h"

#define IMX380_ID_HIGH_REG 0x0016
#define IMX380_ID_LOW_REG 0x0017
#define IMX380_ID_HIGH 0x03
#define IMX380_ID_LOW 0x80
#define IMX380_ID_READ_ATTEMPTS 4
#define IMX380_ID_RETRY_MS 1

int pCus_GetSensorID(struct cus_camsensor_handle *handle, uint32_t *id)
{
	struct sensor_reg_entry id_regs[] = {
		{ IMX380_ID_HIGH_REG, 0 },
		{ IMX380_ID_LOW_REG, 0 },
	};
	int attempt;

	*id = 0;
	for (attempt = 0; attempt < IMX380_ID_READ_ATTEMPTS; attempt++) {
		if (handle->i2c_if->ReadRegArray(handle->i2c_if, &handle->i2c_cfg, id_regs,
						 ARRAY_SIZE(id_regs)) == 0)
			break;
		CamOsMsSleep(IMX380_ID_RETRY_MS);
	}
	if (id_regs[0].data != IMX380_ID_HIGH)
		return -1;
	*id = IMX380_ID_HIGH;
	if (id_regs[1].data != IMX380_ID_LOW)
		return -1;
	*id = IMX380_ID_LOW;
	return 0;
}
