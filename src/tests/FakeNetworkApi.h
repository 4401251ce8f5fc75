#pragma once

#include <array>
#include <string>
#include <vector>

#include "modules/NetworkApi.h"

// A scripted kernel for the network scan: the interfaces it lists, which requests
// fail, and a log of every request made.
struct FakeInterface {
    std::string name;
    bool loopback = false;
    bool flagsFail = false;
    bool hwaddrFail = false;
    std::array<unsigned char, 6> mac{};
};

class FakeNetworkApi : public NetworkApi {
public:
    struct Request {
        unsigned long code;
        std::string name;
    };

    int openSocket(int domain, int type, int protocol) const override;
    int ioctl(int fd, unsigned long request, void* argument) const override;
    int close(int fd) const override;

    std::vector<FakeInterface> interfaces;
    int socketResult = 7;
    bool listFails = false;
    int closeResult = 0;
    int reportedListLength = -1;  // overrides the list length the kernel reports when >= 0
    std::size_t appearAfterFirstCount = 0;  // the last interfaces, missing from the first count
    mutable int lengthQueries = 0;
    mutable std::vector<Request> requests;
    mutable int closedFd = -1;
};
