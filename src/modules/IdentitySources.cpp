// The identity sources of MachineIdentity: the network scan and the processor
// information reader.
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/StrUtils.h"
#include "modules/MachineIdentity.h"

namespace {

constexpr int kMacLength = 6;
constexpr int kMaxKeptAddresses = 2;
constexpr int kTokenLength = 40;  // 39 characters and the NUL
// Addresses added while the list is read make it longer than asked for; a few rounds catch up.
constexpr int kListAttempts = 3;
// Far more than any machine lists; it only keeps a kernel's nonsensical length from costing memory.
constexpr int kMostListBytes = 1 << 20;

using AddressSlots = unsigned char[kMaxKeptAddresses][kMacLength];
using InterfaceList = std::vector<struct ifreq>;

// Every entry the kernel lists, however many: it is asked first how many bytes that takes,
// then offered one entry more, so that a list which filled the offer can be seen to have grown.
bool readInterfaceList(const NetworkApi& network, int fd, InterfaceList& entries)
{
    constexpr int kEntryBytes = static_cast<int>(sizeof(struct ifreq));
    for (int attempt = 1;; ++attempt) {
        struct ifconf list {};  // no buffer: the kernel reports the length it needs
        if (network.ioctl(fd, SIOCGIFCONF, &list) == -1) {
            return false;
        }
        entries.assign(static_cast<std::size_t>(std::clamp(list.ifc_len, 0, kMostListBytes) / kEntryBytes + 1),
                       ifreq{});
        const int offered = static_cast<int>(entries.size()) * kEntryBytes;
        list.ifc_len = offered;
        list.ifc_req = entries.data();
        if (network.ioctl(fd, SIOCGIFCONF, &list) == -1) {
            return false;
        }
        if (list.ifc_len < offered || attempt == kListAttempts) {
            entries.resize(static_cast<std::size_t>(std::clamp(list.ifc_len, 0, offered) / kEntryBytes));
            return true;
        }
    }
}

// Walks the interface list in kernel order and keeps up to two hardware addresses
// of non-loopback interfaces; stops at the third.
int collectHardwareAddresses(const NetworkApi& network, int fd, AddressSlots& slots)
{
    InterfaceList entries;
    if (!readInterfaceList(network, fd, entries)) {
        std::fprintf(stderr, "fail to ioctl: SIOCGIFCONF\n");
        return kDeviceInfoFailed;
    }

    // The entry size is the platform's: 32 bytes on the 32-bit target, 40 on 64-bit hosts.
    int kept = 0;
    for (const struct ifreq& entry : entries) {
        struct ifreq request {};
        std::memcpy(request.ifr_name, entry.ifr_name, IFNAMSIZ - 1);

        if (network.ioctl(fd, SIOCGIFFLAGS, &request) != 0) {
            std::fprintf(stderr, "fail to ioctl: SIOCGIFFLAGS\n");
            return kDeviceInfoFailed;
        }
        if (request.ifr_flags & IFF_LOOPBACK) {
            continue;
        }
        if (network.ioctl(fd, SIOCGIFHWADDR, &request) != 0) {
            continue;
        }
        if (kept == kMaxKeptAddresses) {
            break;
        }
        std::memcpy(slots[kept++], request.ifr_hwaddr.sa_data, kMacLength);
    }
    return kResultOk;
}

void storeLastToken(const char* line, char* token, std::string& field)
{
    std::sscanf(line, "%39s%39s%39s%39s", token, token, token, token);
    field = token;
}

}  // namespace

int MachineIdentity::readMacAddress()
{
    const int fd = network.openSocket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::fprintf(stderr, "fail to socket: %d\n", fd);
        return kDeviceInfoFailed;
    }

    AddressSlots slots{};
    const int rc = collectHardwareAddresses(network, fd, slots);
    if (network.close(fd) != 0) {
        std::perror("close SOCK_DGRAM");
    }
    if (rc != kResultOk) {
        return rc;
    }

    char hex[2 * kMacLength + 1];
    bytesToHex(hex, slots[0], kMacLength);
    macId = hex;
    return kResultOk;
}

int MachineIdentity::readCpuInfo(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::printf("error happen to open:%s\n", path);
        return kDeviceInfoFailed;
    }

    char token[kTokenLength] = {};
    char* line = nullptr;
    std::size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, file)) != -1) {
        if (length > 0 && line[length - 1] == '\n') {
            line[length - 1] = '\0';
        }
        if (std::strstr(line, "model name") != nullptr) {
            storeLastToken(line, token, cpuModel);
        }
        if (std::strstr(line, "Serial") != nullptr) {
            storeLastToken(line, token, cpuSerial);
        }
    }
    std::free(line);
    std::fclose(file);
    return kResultOk;
}
