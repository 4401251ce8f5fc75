/*
 * Test-side controls of the userspace host: the module loader with its
 * parameter table and kernel log, and the OS layer's memory, delays and
 * message capture.
 */
#ifndef SIM_HOST_H
#define SIM_HOST_H

#include <stddef.h>
#include <stdint.h>

#define SIM_LINE_LEN 256

struct sim_param {
	const char *name;
	const char *type;
	int perm;
	const char *desc;
	void *value;
	int int_default;
	char *charp_default;
};

struct sim_klog_line {
	int level;
	char text[SIM_LINE_LEN];
};

int sim_module_load(void);
void sim_module_unload(void);
const char *sim_modinfo(const char *tag);

const struct sim_param *sim_param_find(const char *name);
size_t sim_param_count(void);
/* Fails (-1) for a parameter that does not exist or is not an int. */
int sim_param_set_int(const char *name, int value);
void sim_params_restore_defaults(void);

size_t sim_klog_count(void);
const struct sim_klog_line *sim_klog_at(size_t index);
void sim_klog_clear(void);

void sim_os_reset(void);
/* The next n allocations return nothing. */
void sim_os_fail_allocs(uint32_t n);
uint32_t sim_os_live_allocs(void);
size_t sim_os_message_count(void);
const char *sim_os_message(size_t index);
void sim_os_clear_messages(void);

#endif
