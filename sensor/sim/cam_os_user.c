/*
 * The OS layer on the C library: delays are traced instead of slept, messages
 * are captured, and allocations can be made to fail.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "sim_framework.h"
#include "sim_host.h"

#define SIM_OS_MESSAGES 64

static char sim_os_messages[SIM_OS_MESSAGES][SIM_LINE_LEN];
static size_t sim_os_messages_len;
static uint32_t sim_os_alloc_failures;
static uint32_t sim_os_allocs;

void sim_os_reset(void)
{
	sim_os_messages_len = 0;
	sim_os_alloc_failures = 0;
}

void sim_os_fail_allocs(uint32_t n)
{
	sim_os_alloc_failures = n;
}

uint32_t sim_os_live_allocs(void)
{
	return sim_os_allocs;
}

size_t sim_os_message_count(void)
{
	return sim_os_messages_len;
}

const char *sim_os_message(size_t index)
{
	return index < sim_os_messages_len ? sim_os_messages[index] : NULL;
}

void sim_os_clear_messages(void)
{
	sim_os_messages_len = 0;
}

void *CamOsMemAlloc(uint32_t size)
{
	void *ptr;

	if (sim_os_alloc_failures) {
		sim_os_alloc_failures--;
		return NULL;
	}
	ptr = malloc(size);
	if (ptr)
		sim_os_allocs++;
	return ptr;
}

void CamOsMemRelease(void *ptr)
{
	if (ptr)
		sim_os_allocs--;
	free(ptr);
}

void CamOsMsSleep(uint32_t ms)
{
	sim_trace_add(SIM_EV_MS_SLEEP, 0, (int)ms, 0, 0);
}

void CamOsUsDelay(uint32_t us)
{
	sim_trace_add(SIM_EV_US_DELAY, 0, (int)us, 0, 0);
}

void CamOsPrintf(const char *fmt, ...)
{
	va_list args;

	if (sim_os_messages_len >= SIM_OS_MESSAGES)
		return;
	va_start(args, fmt);
	vsnprintf(sim_os_messages[sim_os_messages_len++], SIM_LINE_LEN, fmt, args);
	va_end(args);
}
