/*
 * Userspace stand-in for the kernel's module macros: entry points, licence and
 * description are recorded so tests can load, unload and inspect the module.
 */
#ifndef SIM_LINUX_MODULE_H
#define SIM_LINUX_MODULE_H

#include <linux/moduleparam.h>
#include <linux/printk.h>

#define __init
#define __exit

typedef int (*sim_initcall_t)(void);
typedef void (*sim_exitcall_t)(void);

void sim_module_set_init(sim_initcall_t fn);
void sim_module_set_exit(sim_exitcall_t fn);
void sim_modinfo_add(const char *tag, const char *value);

#define module_init(fn) \
	static void __attribute__((constructor)) sim_module_init_ctor(void) \
	{ sim_module_set_init(fn); } \
	SIM_SWALLOW_SEMICOLON

#define module_exit(fn) \
	static void __attribute__((constructor)) sim_module_exit_ctor(void) \
	{ sim_module_set_exit(fn); } \
	SIM_SWALLOW_SEMICOLON

#define SIM_MODINFO(tag, text) \
	static void __attribute__((constructor)) sim_modinfo_##tag(void) \
	{ sim_modinfo_add(#tag, text); } \
	SIM_SWALLOW_SEMICOLON

#define MODULE_LICENSE(text) SIM_MODINFO(license, text)
#define MODULE_DESCRIPTION(text) SIM_MODINFO(description, text)

#endif
