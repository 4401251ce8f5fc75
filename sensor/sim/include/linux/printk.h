/*
 * Userspace stand-in for printk: lines are kept with their level for tests.
 */
#ifndef SIM_LINUX_PRINTK_H
#define SIM_LINUX_PRINTK_H

#define KERN_SOH "\001"
#define KERN_INFO KERN_SOH "6"

int printk(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

#endif
