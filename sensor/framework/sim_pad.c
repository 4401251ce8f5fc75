/*
 * The framework's sensor-pad object: every operation is traced and succeeds.
 */
#include "sim_framework.h"

static int sim_set_power_down(uint32_t pad, int level)
{
	sim_trace_add(SIM_EV_POWER_DOWN, pad, level, 0, 0);
	return 0;
}

static int sim_set_reset(uint32_t pad, int level)
{
	sim_trace_add(SIM_EV_RESET, pad, level, 0, 0);
	return 0;
}

static int sim_set_mclk(uint32_t pad, int enable, int clock)
{
	sim_trace_add(SIM_EV_MCLK, pad, enable, clock, 0);
	return 0;
}

static int sim_set_bus(uint32_t pad, int bus, int lanes)
{
	sim_trace_add(SIM_EV_BUS, pad, bus, lanes, 0);
	return 0;
}

static int sim_set_pad_mode(uint32_t pad, int mode)
{
	sim_trace_add(SIM_EV_PAD_MODE, pad, mode, 0, 0);
	return 0;
}

static int sim_set_lanes(uint32_t pad, int lanes, int enable)
{
	sim_trace_add(SIM_EV_LANES, pad, lanes, enable, 0);
	return 0;
}

static int sim_set_packet_config(uint32_t pad, int channel, int packet, int flags)
{
	sim_trace_add(SIM_EV_PACKET, pad, channel, packet, flags);
	return 0;
}

static int sim_set_hdr(uint32_t pad, int hdr, int enable)
{
	sim_trace_add(SIM_EV_HDR, pad, hdr, enable, 0);
	return 0;
}

void sim_pad_bind(struct sensor_pad_if *pad_if)
{
	pad_if->set_power_down = sim_set_power_down;
	pad_if->set_reset = sim_set_reset;
	pad_if->set_mclk = sim_set_mclk;
	pad_if->set_bus = sim_set_bus;
	pad_if->set_pad_mode = sim_set_pad_mode;
	pad_if->set_lanes = sim_set_lanes;
	pad_if->set_packet_config = sim_set_packet_config;
	pad_if->set_hdr = sim_set_hdr;
}
