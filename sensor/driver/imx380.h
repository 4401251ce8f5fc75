/*
 * IMX380 driver internals shared between its units.
 */
#ifndef IMX380_H
#define IMX380_H

#include "cam_sensor.h"

#define IMX380_MODE_NUM 2
#define IMX380_INIT_TABLE_LEN 166
#define IMX380_REG_PAUSE 0xFFFF

#define IMX380_MAX_EXPOSURE_US 333333U
#define IMX380_MIN_EXPOSURE_US 1U
#define IMX380_MIN_GAIN 1024U
/*
 * Callers plan with this upper limit, so it stays advertised although the
 * digital gain saturates at 15.996x, i.e. near 356x in total.
 */
#define IMX380_MAX_GAIN 4076544U

#define IMX380_REG_ORIENT 0x0101
#define IMX380_ORIENT_MASK 0x03

#define IMX380_VTS_REG_NUM 2
#define IMX380_EXPO_REG_NUM 2
#define IMX380_GAIN_REG_NUM 4

struct imx380_params {
	uint32_t vts;
	uint32_t gain;
	uint32_t fps;
	uint32_t fps_reported;
	uint32_t expo_lines;
	uint32_t expo_us;
	struct sensor_reg_entry vts_reg[IMX380_VTS_REG_NUM];
	struct sensor_reg_entry expo_reg[IMX380_EXPO_REG_NUM];
	struct sensor_reg_entry gain_reg[IMX380_GAIN_REG_NUM];
	uint8_t exposure_pending;
	uint8_t orient_pending;
};

struct imx380_mode {
	struct video_res_entry res;
	cus_camsensor_init_fn init;
	uint32_t vts_30fps;
	uint32_t line_period_ns;
};

/* Shared by every pad: the last mode selected on any pad sets them. */
extern uint32_t vts_30fps;
extern uint32_t Preview_line_period;

extern const struct imx380_mode imx380_modes[IMX380_MODE_NUM];
extern const struct sensor_reg_entry imx380_init_1080p[IMX380_INIT_TABLE_LEN];
extern const struct sensor_reg_entry imx380_init_2160p[IMX380_INIT_TABLE_LEN];

static inline struct imx380_params *imx380_priv(struct cus_camsensor_handle *handle)
{
	return (struct imx380_params *)handle->private_data;
}

void imx380_set_pair(struct sensor_reg_entry *pair, uint32_t value);
uint32_t imx380_get_pair(const struct sensor_reg_entry *pair);

int cus_camsensor_init_handle_linear(struct cus_camsensor_handle *handle);
int cus_camsensor_release_handle(struct cus_camsensor_handle *handle);
int imx380_SetPatternMode(struct cus_camsensor_handle *handle, uint32_t mode);

int pCus_GetVideoResNum(struct cus_camsensor_handle *handle, uint32_t *count);
int pCus_GetVideoRes(struct cus_camsensor_handle *handle, uint32_t index,
		     struct video_res_entry **res);
int pCus_GetCurVideoRes(struct cus_camsensor_handle *handle, uint32_t *index,
			struct video_res_entry **res);
int pCus_SetVideoRes(struct cus_camsensor_handle *handle, uint32_t index);
int imx380_write_table(struct cus_camsensor_handle *handle,
		       const struct sensor_reg_entry *table, size_t count,
		       const char *routine);
int pCus_init_mipi4lane_linear(struct cus_camsensor_handle *handle);
int pCus_init_mipi4lane_8M30fps_linear(struct cus_camsensor_handle *handle);

int pCus_poweron(struct cus_camsensor_handle *handle, uint32_t pad);
int pCus_poweroff(struct cus_camsensor_handle *handle, uint32_t pad);
int pCus_GetSensorID(struct cus_camsensor_handle *handle, uint32_t *id);

int pCus_SetAEUSecs(struct cus_camsensor_handle *handle, uint32_t us);
int pCus_GetAEUSecs(struct cus_camsensor_handle *handle, uint32_t *us);
int pCus_GetAEMinMaxUSecs(struct cus_camsensor_handle *handle, uint32_t *min, uint32_t *max);
int IMX380_GetShutterInfo(struct cus_camsensor_handle *handle, struct cus_shutter_info *info);

int pCus_SetAEGain(struct cus_camsensor_handle *handle, uint32_t gain);
int pCus_GetAEGain(struct cus_camsensor_handle *handle, uint32_t *gain);
int pCus_GetAEMinMaxGain(struct cus_camsensor_handle *handle, uint32_t *min, uint32_t *max);

int pCus_SetFPS(struct cus_camsensor_handle *handle, uint32_t fps);
int pCus_GetFPS(struct cus_camsensor_handle *handle);

int pCus_SetOrien(struct cus_camsensor_handle *handle, int orient);
int pCus_GetOrien(struct cus_camsensor_handle *handle, int *orient);

/* Orientation bits to write; unknown codes become 0, also in the handle. */
int imx380_orient_bits(struct cus_camsensor_handle *handle);

int pCus_AEStatusNotify(struct cus_camsensor_handle *handle, int status);

#endif
