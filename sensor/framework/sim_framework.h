/*
 * Simulated camera sensor framework: pad registry, pad and I2C objects backed
 * by simulated IMX380 sensors, and a trace of the calls a driver made.
 */
#ifndef SIM_FRAMEWORK_H
#define SIM_FRAMEWORK_H

#include "cam_sensor.h"

#define SIM_SENSOR_REG_SPACE 0x10000
#define SIM_SENSOR_I2C_ADDRESS 0x34
#define SIM_SENSOR_ID_HIGH_REG 0x0016
#define SIM_SENSOR_ID_LOW_REG 0x0017
#define SIM_SENSOR_ID_HIGH 0x03
#define SIM_SENSOR_ID_LOW 0x80
#define SIM_I2C_LOG_LEN 1024
#define SIM_TRACE_LEN 256

enum sim_i2c_op {
	SIM_I2C_WRITE,
	SIM_I2C_READ,
};

struct sim_i2c_txn {
	uint8_t op;
	uint8_t ok;
	uint16_t reg;
	uint16_t value;
};

/* One simulated sensor: register file, transaction log and injected faults. */
struct sim_sensor {
	uint8_t regs[SIM_SENSOR_REG_SPACE];
	struct sim_i2c_txn log[SIM_I2C_LOG_LEN];
	uint32_t log_count;
	uint32_t fail_writes;
	uint32_t fail_reads;
	/* Transactions let through before the injected failures start. */
	uint32_t pass_writes;
	uint32_t pass_reads;
};

void sim_sensor_reset(struct sim_sensor *sensor);
int sim_sensor_write(struct sim_sensor *sensor, uint16_t address, uint16_t reg, uint16_t value);
int sim_sensor_read(struct sim_sensor *sensor, uint16_t address, uint16_t reg, uint16_t *value);
const struct sim_i2c_txn *sim_sensor_txn(const struct sim_sensor *sensor, uint32_t index);
uint32_t sim_sensor_txn_count(const struct sim_sensor *sensor);
void sim_sensor_clear_log(struct sim_sensor *sensor);

void sim_i2c_bind(struct sensor_i2c_if *i2c, struct sim_sensor *sensor);

enum sim_event_kind {
	SIM_EV_HANDLE_VER,
	SIM_EV_IF_VER,
	SIM_EV_I2C_VER,
	SIM_EV_REGISTER,
	SIM_EV_SLAVE_ID,
	SIM_EV_RELEASE,
	SIM_EV_POWER_DOWN,
	SIM_EV_RESET,
	SIM_EV_MCLK,
	SIM_EV_BUS,
	SIM_EV_PAD_MODE,
	SIM_EV_LANES,
	SIM_EV_PACKET,
	SIM_EV_HDR,
	SIM_EV_MS_SLEEP,
	SIM_EV_US_DELAY,
};

struct sim_event {
	enum sim_event_kind kind;
	uint32_t pad;
	int args[3];
};

void sim_trace_add(enum sim_event_kind kind, uint32_t pad, int a, int b, int c);
const struct sim_event *sim_trace_event(uint32_t index);
uint32_t sim_trace_count(void);
void sim_trace_clear(void);

void sim_pad_bind(struct sensor_pad_if *pad_if);

enum sim_version_if {
	SIM_VER_HANDLE,
	SIM_VER_IF,
	SIM_VER_I2C,
	SIM_VER_NUM,
};

struct sim_pad {
	cus_camsensor_register_fn init_fn;
	void *private_data;
	uint8_t slave_id;
	uint8_t registered;
	struct cus_camsensor_handle handle;
	struct sensor_i2c_if i2c;
	struct sim_sensor sensor;
};

/* Back to power-on state: nothing registered, default versions, fresh sensors. */
void sim_framework_reset(void);
void sim_framework_set_version(enum sim_version_if which, int major, int minor);
struct sim_pad *sim_framework_pad(uint32_t pad);
/* Has the registered driver fill the pad's handle, as the framework does on open. */
int sim_framework_attach(uint32_t pad);

/* The framework's own callbacks, left in the slots a driver does not fill. */
int sim_fw_suspend(struct cus_camsensor_handle *handle);
int sim_fw_resume(struct cus_camsensor_handle *handle);
int sim_fw_get_temperature(struct cus_camsensor_handle *handle, int *celsius);

/* Drives a pad through a whole capture start-up and reports each result. */
int sim_exercise_pad(uint32_t pad);

#endif
