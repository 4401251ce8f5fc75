/*
 * Stub camera sensor framework module: exports the framework and OS calls a
 * sensor driver links against, backs every pad with a simulated IMX380, and
 * offers knobs to drive a pad and to read the simulated registers.
 *
 *   echo PAD > /sys/module/camsensor_stub/parameters/exercise
 *   echo "PAD REG" > /sys/module/camsensor_stub/parameters/peek; cat .../peek
 *   cat /sys/module/camsensor_stub/parameters/registered
 */
#include <linux/errno.h>
#include <linux/kernel.h>
#include <linux/module.h>
#include <linux/moduleparam.h>

#include "sim_framework.h"

#define STUB_REG_MAX 0xFFFF

static unsigned int stub_peek_pad;
static unsigned int stub_peek_reg;

static int stub_exercise_set(const char *val, const struct kernel_param *kp)
{
	unsigned int pad;
	int ret = kstrtouint(val, 0, &pad);

	if (ret)
		return ret;
	if (pad >= CAM_SENSOR_PAD_NUM)
		return -EINVAL;
	return sim_exercise_pad(pad) ? -EIO : 0;
}

static const struct kernel_param_ops stub_exercise_ops = {
	.set = stub_exercise_set,
};
module_param_cb(exercise, &stub_exercise_ops, NULL, 0200);
MODULE_PARM_DESC(exercise, "Drive the given sensor pad through a capture start-up");

static int stub_peek_set(const char *val, const struct kernel_param *kp)
{
	unsigned int pad, reg;

	if (sscanf(val, "%u %x", &pad, &reg) != 2)
		return -EINVAL;
	if (pad >= CAM_SENSOR_PAD_NUM || reg > STUB_REG_MAX)
		return -EINVAL;
	stub_peek_pad = pad;
	stub_peek_reg = reg;
	return 0;
}

static int stub_peek_get(char *buffer, const struct kernel_param *kp)
{
	const struct sim_pad *pad = sim_framework_pad(stub_peek_pad);

	return scnprintf(buffer, PAGE_SIZE, "0x%02x\n", pad->sensor.regs[stub_peek_reg]);
}

static const struct kernel_param_ops stub_peek_ops = {
	.set = stub_peek_set,
	.get = stub_peek_get,
};
module_param_cb(peek, &stub_peek_ops, NULL, 0600);
MODULE_PARM_DESC(peek, "Select with \"PAD REG\" the simulated register to read back");

static int stub_registered_get(char *buffer, const struct kernel_param *kp)
{
	uint32_t pad;
	int len = 0;

	for (pad = 0; pad < CAM_SENSOR_PAD_NUM; pad++) {
		const struct sim_pad *p = sim_framework_pad(pad);

		if (p->registered)
			len += scnprintf(buffer + len, PAGE_SIZE - len, "pad %u slave 0x%02x\n", pad,
					 p->slave_id);
	}
	return len;
}

static const struct kernel_param_ops stub_registered_ops = {
	.get = stub_registered_get,
};
module_param_cb(registered, &stub_registered_ops, NULL, 0444);
MODULE_PARM_DESC(registered, "Pads with a registered sensor driver and their slave ids");

static int __init camsensor_stub_init(void)
{
	sim_framework_reset();
	pr_info("camsensor_stub: framework ready\n");
	return 0;
}

static void __exit camsensor_stub_exit(void)
{
	pr_info("camsensor_stub: framework removed\n");
}

module_init(camsensor_stub_init);
module_exit(camsensor_stub_exit);

EXPORT_SYMBOL(DrvSensorHandleVer);
EXPORT_SYMBOL(DrvSensorIFVer);
EXPORT_SYMBOL(DrvSensorI2CVer);
EXPORT_SYMBOL(DrvRegisterSensorDriverEx);
EXPORT_SYMBOL(DrvRegisterSensorI2CSlaveID);
EXPORT_SYMBOL(DrvSensorRelease);
EXPORT_SYMBOL(CamOsMemAlloc);
EXPORT_SYMBOL(CamOsMemRelease);
EXPORT_SYMBOL(CamOsMsSleep);
EXPORT_SYMBOL(CamOsUsDelay);
EXPORT_SYMBOL(CamOsPrintf);

MODULE_LICENSE("Proprietary");
MODULE_DESCRIPTION("Camera sensor framework stub with simulated IMX380 sensors");
