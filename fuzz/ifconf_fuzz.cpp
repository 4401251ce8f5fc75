// The network scan against a kernel that answers from the fuzz input: any SIOCGIFCONF
// length and list bytes, any flags and hardware addresses, failures anywhere.
#include <fuzzer/FuzzedDataProvider.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "modules/MachineIdentity.h"

namespace {

constexpr int kSmallList = 1024;

// Answers each request from the input and records what the scan should conclude.
class FuzzNetworkApi : public NetworkApi {
public:
    explicit FuzzNetworkApi(FuzzedDataProvider& in) : in_(in) {}

    int openSocket(int, int, int) const override
    {
        if (in_.ConsumeIntegralInRange(0, 7) == 0) {
            scanFails_ = true;
            return in_.ConsumeIntegralInRange(-5, -1);
        }
        return 3;
    }

    int close(int) const override { return in_.ConsumeIntegralInRange(0, 7) == 0 ? -1 : 0; }

    int ioctl(int, unsigned long request, void* argument) const override
    {
        if (request == SIOCGIFCONF) {
            return listInterfaces(static_cast<struct ifconf*>(argument));
        }
        auto* ifr = static_cast<struct ifreq*>(argument);
        expectThat(strnlen(ifr->ifr_name, IFNAMSIZ) < IFNAMSIZ, "names reach us terminated");
        if (request == SIOCGIFFLAGS) {
            expectThat(flagRequests_ < listedEntries_, "no request past the listed entries");
            const std::string expectedName(list_.data() + flagRequests_ * sizeof(struct ifreq),
                                           strnlen(list_.data() + flagRequests_ *
                                                       sizeof(struct ifreq), IFNAMSIZ - 1));
            expectThat(expectedName == ifr->ifr_name, "each request names its list entry");
            ++flagRequests_;
            if (in_.ConsumeIntegralInRange(0, 15) == 0) {
                scanFails_ = true;
                return in_.ConsumeBool() ? -1 : 1;
            }
            ifr->ifr_flags = in_.ConsumeIntegral<short>();
            pendingLoopback_ = (ifr->ifr_flags & IFF_LOOPBACK) != 0;
            return 0;
        }
        if (request == SIOCGIFHWADDR) {
            expectThat(!pendingLoopback_, "no hardware address asked of a loopback");
            if (in_.ConsumeIntegralInRange(0, 7) == 0) {
                return -1;
            }
            std::array<unsigned char, 6> mac{};
            for (unsigned char& b : mac) {
                b = in_.ConsumeIntegral<unsigned char>();
            }
            std::memcpy(ifr->ifr_hwaddr.sa_data, mac.data(), mac.size());
            if (found_ == 0) {
                first_ = mac;
            }
            ++found_;
            return 0;
        }
        expectThat(false, "only the three interface requests are made");
        return -1;
    }

    std::string expectedMac() const
    {
        char hex[13];
        for (int i = 0; i < 6; ++i) {
            std::snprintf(hex + 2 * i, 3, "%02x", found_ > 0 ? first_[i] : 0);
        }
        return hex;
    }

    bool scanFails() const { return scanFails_; }

private:
    int listInterfaces(struct ifconf* list) const
    {
        if (in_.ConsumeIntegralInRange(0, 15) == 0) {
            scanFails_ = true;
            return -1;
        }
        if (list->ifc_buf == nullptr) {
            list->ifc_len = anyLength(kSmallList);
            return 0;
        }
        const int offered = list->ifc_len;
        expectThat(offered > 0 && offered % static_cast<int>(sizeof(struct ifreq)) == 0,
                   "the scan offers room for whole entries");
        const std::string bytes = in_.ConsumeRandomLengthString(static_cast<std::size_t>(offered));
        std::memcpy(list->ifc_buf, bytes.data(), bytes.size());
        // Read back in full: the offer must be as large as the scan says it is.
        list_.assign(list->ifc_buf, static_cast<std::size_t>(offered));
        list->ifc_len = in_.ConsumeBool() ? static_cast<int>(bytes.size()) : anyLength(offered);
        const int listed = list->ifc_len < 0 ? 0 : (list->ifc_len > offered ? offered : list->ifc_len);
        listedEntries_ = listed / static_cast<int>(sizeof(struct ifreq));
        return 0;
    }

    // Mostly a plausible length around `scale`, now and then any at all.
    int anyLength(int scale) const
    {
        return in_.ConsumeIntegralInRange(0, 7) != 0 ? in_.ConsumeIntegralInRange(-scale, 2 * scale)
                                                      : in_.ConsumeIntegral<int>();
    }

    FuzzedDataProvider& in_;
    mutable std::string list_;
    mutable int listedEntries_ = 0;
    mutable int flagRequests_ = 0;
    mutable bool pendingLoopback_ = false;
    mutable bool scanFails_ = false;
    mutable int found_ = 0;
    mutable std::array<unsigned char, 6> first_{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FuzzNetworkApi network(in);
    MachineIdentity identity(network);
    const int rc = identity.readMacAddress();
    if (rc != kResultOk) {
        expectThat(rc == kDeviceInfoFailed, "the scan fails only with its own code");
        expectThat(network.scanFails(), "the scan fails only when a request did");
        expectThat(identity.macId.empty(), "a failed scan leaves no address");
        return 0;
    }
    expectThat(!network.scanFails(), "a failed socket, list or flags request fails the scan");
    expectThat(identity.macId == network.expectedMac(),
               "the address is the first non-loopback interface's, zeros when none");
    return 0;
}
