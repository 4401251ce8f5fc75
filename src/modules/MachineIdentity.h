#pragma once

#include <string>

#include "modules/DeviceInfo.h"
#include "modules/IdGenerator.h"
#include "modules/NetworkApi.h"

// Pipeline result codes: 0x1000 plus one bit per failing stage.
enum PipelineResult : int {
    kResultOk = 0,
    kDeviceInfoFailed = 0x1001,  // also the identity sources' own failure code
    kSerializeFailed = 0x1002,
    kEncryptFailed = 0x1004,
};

constexpr const char* kCpuInfoPath = "/proc/cpuinfo";

// The machine's identity: the texts it is made of and the pipeline that turns them
// into the printed fingerprint (MD5 of the Base64 of the joined texts).
class MachineIdentity {
public:
    explicit MachineIdentity(const NetworkApi& network = systemNetworkApi());

    int readMachineFingerPrint(std::string& fingerprint);

    int getDeviceInfo(DeviceInfo& info);
    int serializeDeviceInfo(const DeviceInfo& info, std::string& record);
    int encryptDeviceInfo(const std::string& record, std::string& fingerprint);

    // Hardware address of the first non-loopback interface into macId.
    int readMacAddress();
    // Processor model and serial number into cpuModel and cpuSerial.
    int readCpuInfo(const char* path = kCpuInfoPath);

    IdGenerator idGenerator;
    std::string macId;
    std::string cpuModel;
    std::string cpuSerial;
    std::string extraId;

private:
    const NetworkApi& network;
};
