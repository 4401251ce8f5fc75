/*
 * Userspace stand-in for the kernel's string helpers.
 */
#ifndef SIM_LINUX_STRING_H
#define SIM_LINUX_STRING_H

#include <stddef.h>
#include <string.h>

/* Copies with guaranteed termination; -1 when the text had to be cut. */
static inline long strscpy(char *dest, const char *src, size_t count)
{
	size_t len = strnlen(src, count);

	if (count == 0)
		return -1;
	if (len == count) {
		memcpy(dest, src, count - 1);
		dest[count - 1] = '\0';
		return -1;
	}
	memcpy(dest, src, len + 1);
	return (long)len;
}

#endif
