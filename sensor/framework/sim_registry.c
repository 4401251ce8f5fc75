/*
 * Framework side of driver registration: interface handshake, per-pad
 * registration, slave ids, handle set-up and release.
 */
#include <linux/string.h>

#include "sim_framework.h"

/* Unset handle bytes show up as this pattern instead of passing for zero. */
#define SIM_HANDLE_POISON 0xA5

struct sim_version {
	int major;
	int minor;
};

static const struct sim_version sim_default_versions[SIM_VER_NUM] = {
	[SIM_VER_HANDLE] = { 2, 2 },
	[SIM_VER_IF] = { 2, 1 },
	[SIM_VER_I2C] = { 1, 1 },
};

static struct sim_version sim_versions[SIM_VER_NUM];
static struct sim_pad sim_pads[CAM_SENSOR_PAD_NUM];

void sim_framework_reset(void)
{
	uint32_t pad;

	memcpy(sim_versions, sim_default_versions, sizeof(sim_versions));
	for (pad = 0; pad < CAM_SENSOR_PAD_NUM; pad++) {
		memset(&sim_pads[pad], 0, offsetof(struct sim_pad, sensor));
		sim_sensor_reset(&sim_pads[pad].sensor);
		sim_i2c_bind(&sim_pads[pad].i2c, &sim_pads[pad].sensor);
	}
	sim_trace_clear();
}

void sim_framework_set_version(enum sim_version_if which, int major, int minor)
{
	sim_versions[which].major = major;
	sim_versions[which].minor = minor;
}

struct sim_pad *sim_framework_pad(uint32_t pad)
{
	return pad < CAM_SENSOR_PAD_NUM ? &sim_pads[pad] : NULL;
}

static int sim_check_version(enum sim_version_if which, enum sim_event_kind kind, int major,
			     int minor)
{
	const struct sim_version *have = &sim_versions[which];

	sim_trace_add(kind, 0, major, minor, 0);
	return major == have->major && minor <= have->minor ? 0 : -1;
}

int DrvSensorHandleVer(int major, int minor)
{
	return sim_check_version(SIM_VER_HANDLE, SIM_EV_HANDLE_VER, major, minor);
}

int DrvSensorIFVer(int major, int minor)
{
	return sim_check_version(SIM_VER_IF, SIM_EV_IF_VER, major, minor);
}

int DrvSensorI2CVer(int major, int minor)
{
	return sim_check_version(SIM_VER_I2C, SIM_EV_I2C_VER, major, minor);
}

int DrvRegisterSensorDriverEx(uint32_t pad, cus_camsensor_register_fn fn, void *private_data)
{
	struct sim_pad *p = sim_framework_pad(pad);

	sim_trace_add(SIM_EV_REGISTER, pad, 0, 0, 0);
	if (!p || !fn)
		return -1;
	p->init_fn = fn;
	p->private_data = private_data;
	p->registered = 1;
	return 0;
}

int DrvRegisterSensorI2CSlaveID(uint32_t pad, uint8_t slave_id)
{
	struct sim_pad *p = sim_framework_pad(pad);

	sim_trace_add(SIM_EV_SLAVE_ID, pad, slave_id, 0, 0);
	if (!p)
		return -1;
	p->slave_id = slave_id;
	return 0;
}

int DrvSensorRelease(uint32_t pad)
{
	struct sim_pad *p = sim_framework_pad(pad);

	sim_trace_add(SIM_EV_RELEASE, pad, 0, 0, 0);
	if (!p || !p->registered)
		return -1;
	p->registered = 0;
	p->init_fn = NULL;
	p->private_data = NULL;
	return 0;
}

int sim_fw_suspend(struct cus_camsensor_handle *handle)
{
	(void)handle;
	return 0;
}

int sim_fw_resume(struct cus_camsensor_handle *handle)
{
	(void)handle;
	return 0;
}

int sim_fw_get_temperature(struct cus_camsensor_handle *handle, int *celsius)
{
	(void)handle;
	*celsius = 0;
	return 0;
}

int sim_framework_attach(uint32_t pad)
{
	struct sim_pad *p = sim_framework_pad(pad);
	struct cus_camsensor_handle *handle;

	if (!p || !p->registered)
		return -1;
	handle = &p->handle;
	memset(handle, SIM_HANDLE_POISON, sizeof(*handle));
	handle->pCus_sensor_suspend = sim_fw_suspend;
	handle->pCus_sensor_resume = sim_fw_resume;
	handle->pCus_sensor_GetTemperature = sim_fw_get_temperature;
	handle->private_data = p->private_data;
	handle->i2c_if = &p->i2c;
	sim_pad_bind(&handle->pad_if);
	return p->init_fn(handle);
}
