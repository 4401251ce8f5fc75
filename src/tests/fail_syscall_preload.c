/* Preloaded into machine_fingerprint by the end-to-end test: FAIL_CALL=socket,
 * SIOCGIFCONF or SIOCGIFFLAGS makes that one call fail; everything else passes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

static int failing(const char *call)
{
    const char *chosen = getenv("FAIL_CALL");
    return chosen != NULL && strcmp(chosen, call) == 0;
}

int socket(int domain, int type, int protocol)
{
    int (*real_socket)(int, int, int);

    if (failing("socket")) {
        errno = EACCES;
        return -1;
    }
    *(void **)&real_socket = dlsym(RTLD_NEXT, "socket");
    return real_socket(domain, type, protocol);
}

static int fail_or_forward(const char *real_name, int fd, unsigned long request, void *argument)
{
    int (*real_ioctl)(int, unsigned long, void *);

    if ((request == SIOCGIFCONF && failing("SIOCGIFCONF")) ||
        (request == SIOCGIFFLAGS && failing("SIOCGIFFLAGS"))) {
        errno = ENODEV;
        return -1;
    }
    *(void **)&real_ioctl = dlsym(RTLD_NEXT, real_name);
    return real_ioctl(fd, request, argument);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    void *argument;

    va_start(args, request);
    argument = va_arg(args, void *);
    va_end(args);
    return fail_or_forward("ioctl", fd, request, argument);
}

#if __TIMESIZE == 32
/* A 32-bit program built with a 64-bit time_t calls ioctl by this name. */
int __ioctl_time64(int fd, unsigned long request, ...);

int __ioctl_time64(int fd, unsigned long request, ...)
{
    va_list args;
    void *argument;

    va_start(args, request);
    argument = va_arg(args, void *);
    va_end(args);
    return fail_or_forward("__ioctl_time64", fd, request, argument);
}
#endif
