/*
 * Simulated IMX380: an 8-bit register file behind a 16-bit address space that
 * answers only at its bus address, logs every transaction and can be told to
 * fail the next few writes or reads.
 */
#include <linux/string.h>

#include "sim_framework.h"

void sim_sensor_reset(struct sim_sensor *sensor)
{
	memset(sensor, 0, sizeof(*sensor));
	sensor->regs[SIM_SENSOR_ID_HIGH_REG] = SIM_SENSOR_ID_HIGH;
	sensor->regs[SIM_SENSOR_ID_LOW_REG] = SIM_SENSOR_ID_LOW;
}

static void sim_sensor_log(struct sim_sensor *sensor, enum sim_i2c_op op, int ok,
			   uint16_t reg, uint16_t value)
{
	if (sensor->log_count < SIM_I2C_LOG_LEN) {
		struct sim_i2c_txn *txn = &sensor->log[sensor->log_count];

		txn->op = (uint8_t)op;
		txn->ok = (uint8_t)ok;
		txn->reg = reg;
		txn->value = value;
	}
	sensor->log_count++;
}

static int sim_sensor_take_fault(uint32_t *remaining, uint32_t *pass)
{
	if (!*remaining)
		return 0;
	if (*pass) {
		(*pass)--;
		return 0;
	}
	(*remaining)--;
	return 1;
}

int sim_sensor_write(struct sim_sensor *sensor, uint16_t address, uint16_t reg, uint16_t value)
{
	int ok = address == SIM_SENSOR_I2C_ADDRESS && 
		 !sim_sensor_take_fault(&sensor->fail_writes, &sensor->pass_writes);

	sim_sensor_log(sensor, SIM_I2C_WRITE, ok, reg, value);
	if (!ok)
		return -1;
	sensor->regs[reg] = (uint8_t)(value & 0xFF);
	return 0;
}

int sim_sensor_read(struct sim_sensor *sensor, uint16_t address, uint16_t reg, uint16_t *value)
{
	int ok = address == SIM_SENSOR_I2C_ADDRESS && 
		 !sim_sensor_take_fault(&sensor->fail_reads, &sensor->pass_reads);

	sim_sensor_log(sensor, SIM_I2C_READ, ok, reg, ok ? sensor->regs[reg] : 0);
	if (!ok)
		return -1;
	*value = sensor->regs[reg];
	return 0;
}

const struct sim_i2c_txn *sim_sensor_txn(const struct sim_sensor *sensor, uint32_t index)
{
	if (index >= sensor->log_count || index >= SIM_I2C_LOG_LEN)
		return NULL;
	return &sensor->log[index];
}

uint32_t sim_sensor_txn_count(const struct sim_sensor *sensor)
{
	return sensor->log_count;
}

void sim_sensor_clear_log(struct sim_sensor *sensor)
{
	sensor->log_count = 0;
}
