/*
 * The OS layer on the kernel: memory, delays and messages. Delays are traced
 * as well, like in the userspace layer.
 */
#include <linux/delay.h>
#include <linux/kernel.h>
#include <linux/printk.h>
#include <linux/slab.h>

#include "sim_framework.h"

void *CamOsMemAlloc(uint32_t size)
{
	return kmalloc(size, GFP_KERNEL);
}

void CamOsMemRelease(void *ptr)
{
	kfree(ptr);
}

void CamOsMsSleep(uint32_t ms)
{
	sim_trace_add(SIM_EV_MS_SLEEP, 0, (int)ms, 0, 0);
	msleep(ms);
}

void CamOsUsDelay(uint32_t us)
{
	sim_trace_add(SIM_EV_US_DELAY, 0, (int)us, 0, 0);
	udelay(us);
}

void CamOsPrintf(const char *fmt, ...)
{
	va_list args;

	va_start(args, fmt);
	vprintk(fmt, args);
	va_end(args);
}
