#include "FakeNetworkApi.h"

#include <net/if.h>
#include <sys/ioctl.h>

#include <cstring>

int FakeNetworkApi::openSocket(int, int, int) const
{
    return socketResult;
}

int FakeNetworkApi::close(int fd) const
{
    closedFd = fd;
    return closeResult;
}

int FakeNetworkApi::ioctl(int, unsigned long request, void* argument) const
{
    if (request == SIOCGIFCONF) {
        requests.push_back({request, ""});
        if (listFails) {
            return -1;
        }
        auto* list = static_cast<struct ifconf*>(argument);
        if (list->ifc_buf == nullptr) {
            const std::size_t counted = interfaces.size() - (lengthQueries++ == 0 ? appearAfterFirstCount : 0);
            list->ifc_len = static_cast<int>(counted * sizeof(struct ifreq));
            return 0;
        }
        int used = 0;
        for (const FakeInterface& iface : interfaces) {
            if (used + static_cast<int>(sizeof(struct ifreq)) > list->ifc_len) {
                break;
            }
            struct ifreq entry {};
            std::strncpy(entry.ifr_name, iface.name.c_str(), IFNAMSIZ - 1);
            std::memcpy(list->ifc_buf + used, &entry, sizeof entry);
            used += static_cast<int>(sizeof entry);
        }
        list->ifc_len = reportedListLength >= 0 ? reportedListLength : used;
        return 0;
    }

    auto* ifr = static_cast<struct ifreq*>(argument);
    const std::string name = ifr->ifr_name;
    requests.push_back({request, name});
    for (const FakeInterface& iface : interfaces) {
        if (iface.name != name) {
            continue;
        }
        if (request == SIOCGIFFLAGS) {
            if (iface.flagsFail) return -1;
            ifr->ifr_flags = static_cast<short>(IFF_UP | (iface.loopback ? IFF_LOOPBACK : 0));
            return 0;
        }
        if (request == SIOCGIFHWADDR) {
            if (iface.hwaddrFail) return -1;
            std::memcpy(ifr->ifr_hwaddr.sa_data, iface.mac.data(), iface.mac.size());
            return 0;
        }
    }
    return -1;
}
