#include <net/if.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "FakeNetworkApi.h"
#include "modules/MachineIdentity.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

FakeInterface loopback()
{
    FakeInterface lo{"lo"};
    lo.loopback = true;
    return lo;
}

FakeInterface ethernet(const std::string& name, unsigned char last)
{
    FakeInterface iface{name};
    iface.mac = {0x00, 0x11, 0x22, 0xaa, 0xbb, last};
    return iface;
}

int flagRequestsFor(const FakeNetworkApi& api, const std::string& name)
{
    return static_cast<int>(std::count_if(api.requests.begin(), api.requests.end(), [&](const auto& r) {
        return r.code == SIOCGIFFLAGS && r.name == name;
    }));
}

class NetworkScan : public testing::Test {
protected:
    int scan()
    {
        CaptureStderr();
        const int rc = identity.readMacAddress();
        stderrText = GetCapturedStderr();
        return rc;
    }

    FakeNetworkApi api;
    MachineIdentity identity{api};
    std::string stderrText;
};

}  // namespace

TEST_F(NetworkScan, LoopbackOnlyOrShortListGivesZeroAddress)
{
    api.interfaces = {loopback()};
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "000000000000");

    api.reportedListLength = static_cast<int>(sizeof(struct ifreq)) - 1;
    api.interfaces = {ethernet("eth0", 0xcc)};
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "000000000000");
    EXPECT_EQ(stderrText, "");
    EXPECT_EQ(api.closedFd, api.socketResult);
}

TEST_F(NetworkScan, FirstNonLoopbackAddressWins)
{
    api.interfaces = {loopback(), ethernet("eth0", 0xcc), ethernet("wlan0", 0xdd)};
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "001122aabbcc");

    api.interfaces.pop_back();
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "001122aabbcc");
}

TEST_F(NetworkScan, UnreadableHardwareAddressIsSkippedSilently)
{
    FakeInterface tunnel = ethernet("tun0", 0x01);
    tunnel.hwaddrFail = true;
    api.interfaces = {loopback(), tunnel, ethernet("eth0", 0x02)};
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "001122aabb02");
    EXPECT_EQ(stderrText, "");
}

TEST_F(NetworkScan, WalkStopsAtThirdUsableAddress)
{
    FakeInterface broken = ethernet("eth3", 0x04);
    broken.flagsFail = true;
    api.interfaces = {ethernet("eth0", 0x01), loopback(), ethernet("eth1", 0x02), ethernet("eth2", 0x03), broken};
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "001122aabb01");
    EXPECT_EQ(flagRequestsFor(api, "eth2"), 1);
    EXPECT_EQ(flagRequestsFor(api, "eth3"), 0);
}

TEST_F(NetworkScan, FlagsFailureFailsWholeScanEvenAfterAnAddressWasKept)
{
    FakeInterface broken = ethernet("eth1", 0x02);
    broken.flagsFail = true;
    api.interfaces = {loopback(), ethernet("eth0", 0x01), broken};
    identity.macId = "previous";
    EXPECT_EQ(scan(), kDeviceInfoFailed);
    EXPECT_EQ(stderrText, "fail to ioctl: SIOCGIFFLAGS\n");
    EXPECT_EQ(identity.macId, "previous");
    EXPECT_EQ(api.closedFd, api.socketResult);
}

TEST_F(NetworkScan, SocketAndListFailuresAreReported)
{
    api.socketResult = -1;
    EXPECT_EQ(scan(), kDeviceInfoFailed);
    EXPECT_EQ(stderrText, "fail to socket: -1\n");
    EXPECT_TRUE(api.requests.empty());

    api.socketResult = 5;
    api.listFails = true;
    EXPECT_EQ(scan(), kDeviceInfoFailed);
    EXPECT_EQ(stderrText, "fail to ioctl: SIOCGIFCONF\n");
    EXPECT_EQ(api.closedFd, 5);
}

TEST_F(NetworkScan, CloseFailureIsReportedAndIgnored)
{
    api.interfaces = {ethernet("eth0", 0xcc)};
    api.closeResult = -1;
    errno = EBADF;
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(stderrText.rfind("close SOCK_DGRAM: ", 0), 0u) << stderrText;
    EXPECT_EQ(identity.macId, "001122aabbcc");
}

TEST_F(NetworkScan, ListOfAnyLengthIsReadWholeEvenWhenItGrowsMeanwhile)
{
    // More entries than 1024 bytes hold come before the real interface.
    for (int i = 0; i < 40; ++i) {
        FakeInterface iface = ethernet("veth" + std::to_string(i), 0);
        iface.hwaddrFail = true;
        api.interfaces.push_back(iface);
    }
    api.interfaces.push_back(loopback());
    api.interfaces.push_back(ethernet("eth0", 0xcc));
    api.appearAfterFirstCount = 2;
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identity.macId, "001122aabbcc");
    EXPECT_EQ(flagRequestsFor(api, "veth0"), 1);
    EXPECT_EQ(flagRequestsFor(api, "eth0"), 1);
}

namespace {

class CpuInfo : public testing::Test {
protected:
    void write(const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    void TearDown() override { std::remove(path.c_str()); }

    std::string path = testing::TempDir() + "cpuinfo_" + std::to_string(::getpid());
    MachineIdentity identity;
};

}  // namespace

TEST_F(CpuInfo, LastModelLineAndSerialWin)
{
    write("processor\t: 0\nmodel name\t: ARMv7 Processor rev 5 (v7l)\n"
          "processor\t: 1\nmodel name\t: Cortex-A7 Processor rev 5 (v7l)\n"
          "Hardware\t: SoC\nSerial\t\t: 0000000012345678");
    EXPECT_EQ(identity.readCpuInfo(path.c_str()), 0);
    EXPECT_EQ(identity.cpuModel, "Cortex-A7");
    EXPECT_EQ(identity.cpuSerial, "0000000012345678");
}

TEST_F(CpuInfo, ShortLinesKeepTheirLastTokenAndLongTokensAreCut)
{
    write("model name : " + std::string(60, 'x') + "\nSerial\n");
    EXPECT_EQ(identity.readCpuInfo(path.c_str()), 0);
    EXPECT_EQ(identity.cpuModel, std::string(39, 'x'));
    EXPECT_EQ(identity.cpuSerial, "Serial");
}

TEST_F(CpuInfo, FileWithoutMatchingLinesLeavesTextsEmpty)
{
    write("processor\t: 0\nBogoMIPS\t: 38.40\n");
    EXPECT_EQ(identity.readCpuInfo(path.c_str()), 0);
    EXPECT_EQ(identity.cpuModel, "");
    EXPECT_EQ(identity.cpuSerial, "");
}

TEST_F(CpuInfo, MissingFileIsReportedOnStandardOutput)
{
    CaptureStdout();
    EXPECT_EQ(identity.readCpuInfo("/nonexistent/cpuinfo"), kDeviceInfoFailed);
    EXPECT_EQ(GetCapturedStdout(), "error happen to open:/nonexistent/cpuinfo\n");
}
