#pragma once

// The system calls the network scan makes, behind one seam so that tests can script
// what the kernel answers.
class NetworkApi {
public:
    virtual ~NetworkApi() = default;
    virtual int openSocket(int domain, int type, int protocol) const = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) const = 0;
    virtual int close(int fd) const = 0;
};

// The real calls of the running kernel.
const NetworkApi& systemNetworkApi();
