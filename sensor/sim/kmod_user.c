/*
 * A userspace module loader: it records what the module's macros declare and
 * keeps the kernel log the module writes with printk.
 */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <linux/module.h>

#include "sim_host.h"

#define SIM_PARAMS_MAX 16
#define SIM_MODINFO_MAX 8
#define SIM_KLOG_MAX 64
#define SIM_KLOG_DEFAULT_LEVEL 4

struct sim_modinfo_entry {
	const char *tag;
	const char *value;
};

static sim_initcall_t sim_init_fn;
static sim_exitcall_t sim_exit_fn;
static struct sim_param sim_params[SIM_PARAMS_MAX];
static size_t sim_params_len;
static struct sim_modinfo_entry sim_modinfo_entries[SIM_MODINFO_MAX];
static size_t sim_modinfo_len;
static struct sim_klog_line sim_klog[SIM_KLOG_MAX];
static size_t sim_klog_len;

void sim_module_set_init(sim_initcall_t fn)
{
	sim_init_fn = fn;
}

void sim_module_set_exit(sim_exitcall_t fn)
{
	sim_exit_fn = fn;
}

int sim_module_load(void)
{
	return sim_init_fn ? sim_init_fn() : -1;
}

void sim_module_unload(void)
{
	if (sim_exit_fn)
		sim_exit_fn();
}

void sim_modinfo_add(const char *tag, const char *value)
{
	if (sim_modinfo_len < SIM_MODINFO_MAX)
		sim_modinfo_entries[sim_modinfo_len++] = (struct sim_modinfo_entry){ tag, value };
}

const char *sim_modinfo(const char *tag)
{
	size_t i;

	for (i = 0; i < sim_modinfo_len; i++)
		if (strcmp(sim_modinfo_entries[i].tag, tag) == 0)
			return sim_modinfo_entries[i].value;
	return NULL;
}

static struct sim_param *sim_param_slot(const char *name)
{
	size_t i;

	for (i = 0; i < sim_params_len; i++)
		if (strcmp(sim_params[i].name, name) == 0)
			return &sim_params[i];
	if (sim_params_len == SIM_PARAMS_MAX)
		return NULL;
	sim_params[sim_params_len].name = name;
	return &sim_params[sim_params_len++];
}

void sim_param_register(const char *name, const char *type, int perm, void *value)
{
	struct sim_param *param = sim_param_slot(name);

	if (!param)
		return;
	param->type = type;
	param->perm = perm;
	param->value = value;
	if (strcmp(type, "int") == 0)
		param->int_default = *(int *)value;
	else
		param->charp_default = *(char **)value;
}

void sim_param_describe(const char *name, const char *text)
{
	struct sim_param *param = sim_param_slot(name);

	if (param)
		param->desc = text;
}

const struct sim_param *sim_param_find(const char *name)
{
	size_t i;

	for (i = 0; i < sim_params_len; i++)
		if (strcmp(sim_params[i].name, name) == 0)
			return &sim_params[i];
	return NULL;
}

size_t sim_param_count(void)
{
	return sim_params_len;
}

int sim_param_set_int(const char *name, int value)
{
	const struct sim_param *param = sim_param_find(name);

	if (!param || !param->type || strcmp(param->type, "int") != 0)
		return -1;
	*(int *)param->value = value;
	return 0;
}

void sim_params_restore_defaults(void)
{
	size_t i;

	for (i = 0; i < sim_params_len; i++) {
		if (!sim_params[i].type)
			continue;
		if (strcmp(sim_params[i].type, "int") == 0)
			*(int *)sim_params[i].value = sim_params[i].int_default;
		else
			*(char **)sim_params[i].value = sim_params[i].charp_default;
	}
}

int printk(const char *fmt, ...)
{
	struct sim_klog_line *line;
	va_list args;
	int level = SIM_KLOG_DEFAULT_LEVEL;

	if (fmt[0] == KERN_SOH[0] && fmt[1] >= '0' && fmt[1] <= '7') {
		level = fmt[1] - '0';
		fmt += 2;
	}
	if (sim_klog_len >= SIM_KLOG_MAX)
		return 0;
	line = &sim_klog[sim_klog_len++];
	line->level = level;
	va_start(args, fmt);
	vsnprintf(line->text, sizeof(line->text), fmt, args);
	va_end(args);
	return (int)strlen(line->text);
}

size_t sim_klog_count(void)
{
	return sim_klog_len;
}

const struct sim_klog_line *sim_klog_at(size_t index)
{
	return index < sim_klog_len ? &sim_klog[index] : NULL;
}

void sim_klog_clear(void)
{
	sim_klog_len = 0;
}
