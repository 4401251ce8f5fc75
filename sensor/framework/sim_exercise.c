/*
 * A capture start-up as the framework performs it, with every result reported
 * so that the run can be checked from the log and the sensor's registers.
 */
#include "sim_framework.h"

#define SIM_EXERCISE_MODE 1
#define SIM_EXERCISE_US 20000
#define SIM_EXERCISE_GAIN 65536
#define SIM_EXERCISE_FPS 25
#define SIM_EXERCISE_ORIENT 3

static int sim_exercise_start(struct cus_camsensor_handle *h, uint32_t pad)
{
	uint32_t id = 0;
	int on, found, mode, init;

	on = h->pCus_sensor_poweron(h, pad);
	found = h->pCus_sensor_GetSensorID(h, &id);
	mode = h->pCus_sensor_SetVideoRes(h, SIM_EXERCISE_MODE);
	init = h->pCus_sensor_init(h);
	CamOsPrintf("[sim_exercise] pad %u poweron %d id 0x%02x/%d mode %d init %d\n", pad, on,
		    id, found, mode, init);
	return on || found || mode || init;
}

static int sim_exercise_requests(struct cus_camsensor_handle *h, uint32_t pad)
{
	int failed = 0;

	failed |= h->pCus_sensor_SetAEUSecs(h, SIM_EXERCISE_US);
	failed |= h->pCus_sensor_SetAEGain(h, SIM_EXERCISE_GAIN);
	failed |= h->pCus_sensor_SetFPS(h, SIM_EXERCISE_FPS);
	failed |= h->pCus_sensor_SetOrien(h, SIM_EXERCISE_ORIENT);
	failed |= h->pCus_sensor_AEStatusNotify(h, CUS_FRAME_INACTIVE);
	failed |= h->pCus_sensor_AEStatusNotify(h, CUS_FRAME_ACTIVE);
	CamOsPrintf("[sim_exercise] pad %u requests %d\n", pad, failed);
	return failed;
}

static int sim_exercise_readback(struct cus_camsensor_handle *h, uint32_t pad)
{
	uint32_t us = 0, gain = 0;
	int orient = -1;
	int failed = 0;

	failed |= h->pCus_sensor_GetAEUSecs(h, &us);
	failed |= h->pCus_sensor_GetAEGain(h, &gain);
	failed |= h->pCus_sensor_GetOrien(h, &orient);
	CamOsPrintf("[sim_exercise] pad %u exposure %u gain %u fps %d orient %d\n", pad, us, gain,
		    h->pCus_sensor_GetFPS(h), orient);
	return failed;
}

int sim_exercise_pad(uint32_t pad)
{
	struct sim_pad *p = sim_framework_pad(pad);
	struct cus_camsensor_handle *h;
	int attach = sim_framework_attach(pad);
	int failed;

	CamOsPrintf("[sim_exercise] pad %u attach %d\n", pad, attach);
	if (attach)
		return -1;
	h = &p->handle;
	failed = sim_exercise_start(h, pad);
	failed |= sim_exercise_requests(h, pad);
	failed |= sim_exercise_readback(h, pad);
	failed |= h->pCus_sensor_poweroff(h, pad);
	CamOsPrintf("[sim_exercise] pad %u %s\n", pad, failed ? "failed" : "done");
	return failed ? -1 : 0;
}
