/*
 * Gain requests: analogue gain first, the remainder in digital gain.
 */
#include "imx380.h"

#define IMX380_GAIN_ONE 1024U
/* Highest gain that the analogue stage reaches alone (22.26x). */
#define IMX380_ANALOG_GAIN_MAX 22794U
#define IMX380_ANALOG_CODE_MAX 978U
#define IMX380_DIGITAL_INT_MAX 15U
#define IMX380_DIGITAL_FRAC_MAX 255U
#define IMX380_REG_ANALOG_HIGH 0
#define IMX380_REG_ANALOG_LOW 1
#define IMX380_REG_DIGITAL_INT 2
#define IMX380_REG_DIGITAL_FRAC 3

static uint32_t imx380_clamp_gain(uint32_t gain)
{
	if (gain < IMX380_MIN_GAIN)
		return IMX380_MIN_GAIN;
	return gain > IMX380_MAX_GAIN ? IMX380_MAX_GAIN : gain;
}

static void imx380_set_gain_codes(struct imx380_params *params, uint32_t analog,
				  uint32_t digital_int, uint32_t digital_frac)
{
	struct sensor_reg_entry *regs = params->gain_reg;

	regs[IMX380_REG_ANALOG_HIGH].data = (uint16_t)((analog >> 8) & 0xFF);
	regs[IMX380_REG_ANALOG_LOW].data = (uint16_t)(analog & 0xFF);
	regs[IMX380_REG_DIGITAL_INT].data = (uint16_t)digital_int;
	regs[IMX380_REG_DIGITAL_FRAC].data = (uint16_t)digital_frac;
}

/* Code c gives 1024 / (1024 - c) times; computed in 1/1024 steps of the code. */
static void imx380_set_analog_gain(struct imx380_params *params, uint32_t gain)
{
	uint32_t code = 1048576U - 1073741824U / gain;

	imx380_set_gain_codes(params, code >> 10, 1, 0);
}

/* The digital stage tops out at 15 + 255/256, about 356x in total. */
static void imx380_set_digital_gain(struct imx380_params *params, uint32_t gain)
{
	uint32_t q = gain * IMX380_GAIN_ONE / IMX380_ANALOG_GAIN_MAX;
	uint32_t integer = q >> 10;
	uint32_t fraction;

	if (integer > IMX380_DIGITAL_INT_MAX)
		integer = IMX380_DIGITAL_INT_MAX;
	fraction = (q - integer * IMX380_GAIN_ONE) >> 2;
	if (fraction > IMX380_DIGITAL_FRAC_MAX)
		fraction = IMX380_DIGITAL_FRAC_MAX;
	imx380_set_gain_codes(params, IMX380_ANALOG_CODE_MAX, integer, fraction);
}

int pCus_SetAEGain(struct cus_camsensor_handle *handle, uint32_t gain)
{
	struct imx380_params *params = imx380_priv(handle);
	uint32_t limited;

	if (gain == params->gain)
		return 0;
	params->gain = gain;
	limited = imx380_clamp_gain(gain);
	if (limited <= IMX380_ANALOG_GAIN_MAX)
		imx380_set_analog_gain(params, limited);
	else
		imx380_set_digital_gain(params, limited);
	params->exposure_pending = 1;
	return 0;
}

int pCus_GetAEGain(struct cus_camsensor_handle *handle, uint32_t *gain)
{
	*gain = imx380_priv(handle)->gain;
	return 0;
}

int pCus_GetAEMinMaxGain(struct cus_camsensor_handle *handle, uint32_t *min, uint32_t *max)
{
	(void)handle;
	*min = IMX380_MIN_GAIN;
	*max = IMX380_MAX_GAIN;
	return 0;
}
