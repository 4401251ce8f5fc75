/*
 * Register shadows: 16-bit quantities kept as high/low byte register pairs.
 */
#include "imx380.h"

void imx380_set_pair(struct sensor_reg_entry *pair, uint32_t value)
{
	pair[0].data = (uint16_t)((value >> 8) & 0xFF);
	pair[1].data = (uint16_t)(value & 0xFF);
}

uint32_t imx380_get_pair(const struct sensor_reg_entry *pair)
{
	return (uint32_t)(uint16_t)((pair[0].data << 8) | pair[1].data);
}
