#include "modules/NetworkApi.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
class SystemNetworkApi final : public NetworkApi {
public:
    int openSocket(int domain, int type, int protocol) const override { return ::socket(domain, type, protocol); }
    int ioctl(int fd, unsigned long request, void* argument) const override { return ::ioctl(fd, request, argument); }
    int close(int fd) const override { return ::close(fd); }
};
}  // namespace

const NetworkApi& systemNetworkApi()
{
    static const SystemNetworkApi api;
    return api;
}
