/*
 * Ordered trace of framework, pad and delay calls, for checking sequences.
 */
#include "sim_framework.h"

static struct sim_event sim_trace[SIM_TRACE_LEN];
static uint32_t sim_trace_len;

void sim_trace_add(enum sim_event_kind kind, uint32_t pad, int a, int b, int c)
{
	if (sim_trace_len < SIM_TRACE_LEN) {
		struct sim_event *ev = &sim_trace[sim_trace_len];

		ev->kind = kind;
		ev->pad = pad;
		ev->args[0] = a;
		ev->args[1] = b;
		ev->args[2] = c;
	}
	sim_trace_len++;
}

const struct sim_event *sim_trace_event(uint32_t index)
{
	if (index >= sim_trace_len || index >= SIM_TRACE_LEN)
		return NULL;
	return &sim_trace[index];
}

uint32_t sim_trace_count(void)
{
	return sim_trace_len;
}

void sim_trace_clear(void)
{
	sim_trace_len = 0;
}
