/*
 * Userspace stand-in for module parameters: each one is recorded with its
 * type, permissions and description in a table that tests read and set.
 */
#ifndef SIM_LINUX_MODULEPARAM_H
#define SIM_LINUX_MODULEPARAM_H

/* Lets the macros below be used with a trailing semicolon at file scope. */
#define SIM_SWALLOW_SEMICOLON struct sim_swallow_semicolon

void sim_param_register(const char *name, const char *type, int perm, void *value);
void sim_param_describe(const char *name, const char *text);

#define module_param(name, type, perm) \
	static void __attribute__((constructor)) sim_param_ctor_##name(void) \
	{ sim_param_register(#name, #type, perm, &(name)); } \
	SIM_SWALLOW_SEMICOLON

#define MODULE_PARM_DESC(name, text) \
	static void __attribute__((constructor)) sim_param_desc_ctor_##name(void) \
	{ sim_param_describe(#name, text); } \
	SIM_SWALLOW_SEMICOLON

#endif
