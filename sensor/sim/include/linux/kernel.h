/*
 * Userspace stand-in for the kernel's general helpers.
 */
#ifndef SIM_LINUX_KERNEL_H
#define SIM_LINUX_KERNEL_H

#include <stddef.h>

#define ARRAY_SIZE(arr) (sizeof(arr) / sizeof((arr)[0]))

#endif
