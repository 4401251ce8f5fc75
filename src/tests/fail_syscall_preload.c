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

int ioctl(int fd, unsigned long request, ...)
{
    int (*real_ioctl)(int, unsigned long, void *);
    va_list args;
    void *argument;

    va_start(args, request);
    argument = va_arg(args, void *);
    va_end(args);
    if ((request == SIOCGIFCONF && failing("SIOCGIFCONF")) ||
        (request == SIOCGIFFLAGS && failing("SIOCGIFFLAGS"))) {
        errno = ENODEV;
        return -1;
    }
    *(void **)&real_ioctl = dlsym(RTLD_NEXT, "ioctl");
    return real_ioctl(fd, request, argument);
}
