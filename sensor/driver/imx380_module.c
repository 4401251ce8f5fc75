/*
 * Module entry points: interface handshake, per-pad registration and release.
 */
#include <linux/module.h>
#include <linux/moduleparam.h>
#include <linux/printk.h>
#include <linux/string.h>

#include "imx380.h"

#define IMX380_BUILD_ID "imx380 sensor driver build 1.0.0"

static char *sensor_module_version = IMX380_BUILD_ID;
module_param(sensor_module_version, charp, 0444);

static char *mclk = "use default parameter";
module_param(mclk, charp, 0660);
MODULE_PARM_DESC(mclk, "Assign MCLK");

static int chmap;
module_param(chmap, int, 0660);
MODULE_PARM_DESC(chmap, "VIF channel mapping");

static int i2c_slave_id;
module_param(i2c_slave_id, int, 0660);
MODULE_PARM_DESC(i2c_slave_id, "sensor i2c slave id");

static int hdr_lane_num = 4;
module_param(hdr_lane_num, int, 0660);
MODULE_PARM_DESC(hdr_lane_num, "sensor output lane number");

static int lane_num = 2;
module_param(lane_num, int, 0660);
MODULE_PARM_DESC(lane_num, "sensor output lane number");

/* Holds exactly the pads registered at load, so unload ignores later chmap writes. */
static struct imx380_params *imx380_pads[CAM_SENSOR_PAD_NUM];

static int imx380_framework_compatible(void)
{
	if (DrvSensorHandleVer(2, 2) == -1)
		return 0;
	if (DrvSensorIFVer(2, 1) == -1)
		return 0;
	return DrvSensorI2CVer(1, 1) != -1;
}

static uint8_t imx380_slave_id_byte(uint32_t pad)
{
	return (uint8_t)(((uint32_t)i2c_slave_id >> (8 * pad)) & 0xFF);
}

static void imx380_connect_pad(uint32_t pad)
{
	struct imx380_params *params;

	params = CamOsMemAlloc(sizeof(*params));
	if (!params) {
		CamOsPrintf("[%s] No memory for sensor pad %u, pad skipped!\n",
			    "IMX380_init_driver", pad);
		return;
	}
	memset(params, 0, sizeof(*params));
	DrvRegisterSensorDriverEx(pad, cus_camsensor_init_handle_linear, params);
	DrvRegisterSensorI2CSlaveID(pad, imx380_slave_id_byte(pad));
	printk(KERN_INFO "Connect %s linear to sensor pad %d\n", "IMX380_init_driver", (int)pad);
	imx380_pads[pad] = params;
}

static int __init IMX380_init_driver(void)
{
	uint32_t pad;

	if (!imx380_framework_compatible())
		return -1;
	for (pad = 0; pad < CAM_SENSOR_PAD_NUM; pad++)
		if ((uint32_t)chmap & (1U << pad))
			imx380_connect_pad(pad);
	return 0;
}

static void __exit IMX380_exit_driver(void)
{
	uint32_t pad;

	for (pad = 0; pad < CAM_SENSOR_PAD_NUM; pad++) {
		if (!imx380_pads[pad])
			continue;
		DrvSensorRelease(pad);
		CamOsMemRelease(imx380_pads[pad]);
		imx380_pads[pad] = NULL;
	}
}

module_init(IMX380_init_driver);
module_exit(IMX380_exit_driver);

MODULE_LICENSE("Proprietary");
MODULE_DESCRIPTION("Sensor_IMX380");
