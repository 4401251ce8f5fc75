#include <dirent.h>

#include <regex>

#include <spdlog/spdlog.h>

#include <gtest/gtest.h>

#include "FakeNetworkApi.h"
#include "modules/MachineIdentity.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

int threadCount()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            count += entry->d_name[0] != '.';
        }
        closedir(tasks);
    }
    return count;
}

}  // namespace

TEST(Pipeline, SerializedRecordIsBase64OfTheJoinedTexts)
{
    MachineIdentity identity;
    std::string record;
    EXPECT_EQ(identity.serializeDeviceInfo({"001122aabbcc", "", "", ""}, record), 0);
    EXPECT_EQ(record, "MDAxMTIyYWFiYmNj");
    EXPECT_EQ(identity.serializeDeviceInfo({"0011", "22aa", "", "bbcc"}, record), 0);
    EXPECT_EQ(record, "MDAxMTIyYWFiYmNj");
}

TEST(Pipeline, SuccessfulRunGivesFingerprintAndStartsNoLoggerOrThread)
{
    FakeNetworkApi api;
    FakeInterface eth0{"eth0"};
    eth0.mac = {0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc};
    api.interfaces = {eth0};
    const int threadsBefore = threadCount();
    // Compared with the state before, so the check holds when the whole suite shares one process
    // and an earlier test has already made the logger.
    const bool loggerBefore = spdlog::get("velmora") != nullptr;

    MachineIdentity identity{api};
    std::string fingerprint;
    CaptureStdout();
    EXPECT_EQ(identity.readMachineFingerPrint(fingerprint), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    // MD5 of the Base64 text MDAxMTIyYWFiYmNj
    EXPECT_EQ(fingerprint, "12cef583947c6c1ff154160f1cbb97d1");
    EXPECT_EQ(spdlog::get("velmora") != nullptr, loggerBefore);
    // At most: a thread of an earlier test may still be leaving /proc after its join.
    EXPECT_LE(threadCount(), threadsBefore);
}

TEST(Pipeline, FailingScanIsLoggedOnceAtErrorLevel)
{
    FakeNetworkApi api;
    api.socketResult = -1;
    MachineIdentity identity{api};
    std::string fingerprint;
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(identity.readMachineFingerPrint(fingerprint), kDeviceInfoFailed);
    EXPECT_EQ(GetCapturedStderr(), "fail to socket: -1\n");
    const std::string out = GetCapturedStdout();
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[velmora\] \[error\] )"
                          R"(\[MachineIdentity\.cpp:\d+\] Error: getDeviceInfo failed, Code:4097\n)");
    EXPECT_TRUE(std::regex_match(out, line)) << out;
    EXPECT_EQ(fingerprint, "");
    EXPECT_NE(spdlog::get("velmora"), nullptr);
}
