/*
 * Camera sensor framework interface: the handle a sensor driver fills, the
 * register and mode records, the I2C and pad objects the framework places in
 * each handle, and the framework and OS calls a driver may make.
 */
#ifndef CAM_SENSOR_H
#define CAM_SENSOR_H

#ifdef __KERNEL__
#include <linux/types.h>
#else
#include <stddef.h>
#include <stdint.h>
#endif

#define CAM_SENSOR_PAD_NUM 4
#define CAM_SENSOR_NAME_LEN 32
#define CAM_SENSOR_RES_DESC_LEN 32
#define CAM_SENSOR_RES_MAX 8

#define CUS_FRAME_INACTIVE 0
#define CUS_FRAME_ACTIVE 1

struct sensor_reg_entry {
	uint16_t reg;
	uint16_t data;
};

struct video_res_entry {
	uint32_t width;
	uint32_t height;
	uint32_t max_fps;
	uint32_t min_fps;
	uint32_t crop_start_x;
	uint32_t crop_start_y;
	uint32_t output_width;
	uint32_t output_height;
	char desc[CAM_SENSOR_RES_DESC_LEN];
};

struct i2c_config {
	uint16_t mode;
	uint16_t fmt;
	uint32_t speed;
	uint16_t address;
};

struct sensor_i2c_if {
	int (*WriteReg)(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
			uint16_t reg, uint16_t data);
	int (*ReadReg)(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
		       uint16_t reg, uint16_t *data);
	int (*WriteRegArray)(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
			     const struct sensor_reg_entry *list, int count);
	int (*ReadRegArray)(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
			    struct sensor_reg_entry *list, int count);
	void *bus;
};

struct sensor_pad_if {
	int (*set_power_down)(uint32_t pad, int level);
	int (*set_reset)(uint32_t pad, int level);
	int (*set_mclk)(uint32_t pad, int enable, int clock);
	int (*set_bus)(uint32_t pad, int bus, int lanes);
	int (*set_pad_mode)(uint32_t pad, int mode);
	int (*set_lanes)(uint32_t pad, int lanes, int enable);
	int (*set_packet_config)(uint32_t pad, int channel, int packet, int flags);
	int (*set_hdr)(uint32_t pad, int hdr, int enable);
};

struct cus_shutter_info {
	uint32_t flags;
	uint32_t max_shutter_ns;
	uint32_t min_shutter_ns;
	uint32_t step_ns;
};

struct cus_camsensor_handle;
typedef int (*cus_camsensor_init_fn)(struct cus_camsensor_handle *handle);

struct cus_camsensor_handle {
	char model_id[CAM_SENSOR_NAME_LEN];
	struct i2c_config i2c_cfg;
	uint32_t input_format;
	uint32_t output_format;
	uint32_t bayer_order;
	uint32_t bit_depth;
	uint32_t reset_off_level;
	uint32_t pwdn_off_level;
	uint32_t vsync_polarity;
	uint32_t hsync_polarity;
	uint32_t pclk_polarity;
	uint32_t bus_type;
	uint32_t res_changed;
	uint32_t ae_delay_frames;
	int orient;
	uint32_t video_res_num;
	uint32_t video_res_cur;
	struct video_res_entry video_res[CAM_SENSOR_RES_MAX];
	uint32_t mipi_lanes;
	uint32_t mipi_hsync_mode;
	uint32_t mipi_sampling_delay;
	uint32_t mipi_virtual_channel;
	uint32_t hdr_mode;
	uint32_t hdr_channel;
	uint32_t mclk_code;
	uint32_t gain_unit;

	int (*pCus_sensor_poweron)(struct cus_camsensor_handle *handle, uint32_t pad);
	int (*pCus_sensor_poweroff)(struct cus_camsensor_handle *handle, uint32_t pad);
	cus_camsensor_init_fn pCus_sensor_init;
	int (*pCus_sensor_release)(struct cus_camsensor_handle *handle);
	int (*pCus_sensor_suspend)(struct cus_camsensor_handle *handle);
	int (*pCus_sensor_resume)(struct cus_camsensor_handle *handle);
	int (*pCus_sensor_SetPatternMode)(struct cus_camsensor_handle *handle, uint32_t mode);
	int (*pCus_sensor_GetSensorID)(struct cus_camsensor_handle *handle, uint32_t *id);
	int (*pCus_sensor_GetVideoRes)(struct cus_camsensor_handle *handle, uint32_t index,
				       struct video_res_entry **res);
	int (*pCus_sensor_GetCurVideoRes)(struct cus_camsensor_handle *handle, uint32_t *index,
					  struct video_res_entry **res);
	int (*pCus_sensor_SetVideoRes)(struct cus_camsensor_handle *handle, uint32_t index);
	int (*pCus_sensor_GetOrien)(struct cus_camsensor_handle *handle, int *orient);
	int (*pCus_sensor_SetOrien)(struct cus_camsensor_handle *handle, int orient);
	int (*pCus_sensor_GetTemperature)(struct cus_camsensor_handle *handle, int *celsius);
	int (*pCus_sensor_AEStatusNotify)(struct cus_camsensor_handle *handle, int status);
	int (*pCus_sensor_GetAEUSecs)(struct cus_camsensor_handle *handle, uint32_t *us);
	int (*pCus_sensor_SetAEUSecs)(struct cus_camsensor_handle *handle, uint32_t us);
	int (*pCus_sensor_GetAEGain)(struct cus_camsensor_handle *handle, uint32_t *gain);
	int (*pCus_sensor_SetAEGain)(struct cus_camsensor_handle *handle, uint32_t gain);
	int (*pCus_sensor_GetAEMinMaxUSecs)(struct cus_camsensor_handle *handle, uint32_t *min,
					    uint32_t *max);
	int (*pCus_sensor_GetAEMinMaxGain)(struct cus_camsensor_handle *handle, uint32_t *min,
					   uint32_t *max);
	int (*pCus_sensor_GetFPS)(struct cus_camsensor_handle *handle);
	int (*pCus_sensor_SetFPS)(struct cus_camsensor_handle *handle, uint32_t fps);
	int (*pCus_sensor_GetShutterInfo)(struct cus_camsensor_handle *handle,
					  struct cus_shutter_info *info);
	int (*pCus_sensor_GetVideoResNum)(struct cus_camsensor_handle *handle, uint32_t *count);

	void *private_data;
	struct sensor_i2c_if *i2c_if;
	struct sensor_pad_if pad_if;
};

typedef int (*cus_camsensor_register_fn)(struct cus_camsensor_handle *handle);

int DrvSensorHandleVer(int major, int minor);
int DrvSensorIFVer(int major, int minor);
int DrvSensorI2CVer(int major, int minor);
int DrvRegisterSensorDriverEx(uint32_t pad, cus_camsensor_register_fn fn, void *private_data);
int DrvRegisterSensorI2CSlaveID(uint32_t pad, uint8_t slave_id);
int DrvSensorRelease(uint32_t pad);

void *CamOsMemAlloc(uint32_t size);
void CamOsMemRelease(void *ptr);
void CamOsMsSleep(uint32_t ms);
void CamOsUsDelay(uint32_t us);
void CamOsPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

#endif
