/*
 * The framework's I2C object, bound to one simulated sensor.
 */
#include "sim_framework.h"

static struct sim_sensor *sim_i2c_sensor(struct sensor_i2c_if *i2c)
{
	return i2c->bus;
}

static int sim_i2c_write(struct sensor_i2c_if *i2c, struct i2c_config *cfg, uint16_t reg,
			 uint16_t data)
{
	return sim_sensor_write(sim_i2c_sensor(i2c), cfg->address, reg, data);
}

static int sim_i2c_read(struct sensor_i2c_if *i2c, struct i2c_config *cfg, uint16_t reg,
			uint16_t *data)
{
	return sim_sensor_read(sim_i2c_sensor(i2c), cfg->address, reg, data);
}

static int sim_i2c_write_array(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
			       const struct sensor_reg_entry *list, int count)
{
	int i;

	for (i = 0; i < count; i++)
		if (sim_i2c_write(i2c, cfg, list[i].reg, list[i].data))
			return -1;
	return 0;
}

static int sim_i2c_read_array(struct sensor_i2c_if *i2c, struct i2c_config *cfg,
			      struct sensor_reg_entry *list, int count)
{
	int i;

	for (i = 0; i < count; i++)
		if (sim_i2c_read(i2c, cfg, list[i].reg, &list[i].data))
			return -1;
	return 0;
}

void sim_i2c_bind(struct sensor_i2c_if *i2c, struct sim_sensor *sensor)
{
	i2c->WriteReg = sim_i2c_write;
	i2c->ReadReg = sim_i2c_read;
	i2c->WriteRegArray = sim_i2c_write_array;
	i2c->ReadRegArray = sim_i2c_read_array;
	i2c->bus = sensor;
}
