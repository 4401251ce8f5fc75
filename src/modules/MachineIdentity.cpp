#include "modules/MachineIdentity.h"

#include "common/AppLogger.h"
#include "common/Md5.h"
#include "common/StrUtils.h"

namespace {
constexpr const char* kPipelineFunction = "readMachineFingerPrint";
}

MachineIdentity::MachineIdentity(const NetworkApi& networkApi) : network(networkApi) {}

int MachineIdentity::readMachineFingerPrint(std::string& fingerprint)
{
    DeviceInfo info;
    std::string record;

    int rc = getDeviceInfo(info);
    if (rc != 0) {
        APP_LOG(spdlog::level::err, kPipelineFunction, "Error: getDeviceInfo failed, Code:{}", rc);
        return kDeviceInfoFailed;
    }
    rc = serializeDeviceInfo(info, record);
    if (rc != 0) {
        APP_LOG(spdlog::level::err, kPipelineFunction, "Error: serializeDeviceInfo failed, Code:{}", rc);
        return kSerializeFailed;
    }
    rc = encryptDeviceInfo(record, fingerprint);
    if (rc != 0) {
        APP_LOG(spdlog::level::err, kPipelineFunction, "Error: encryptDeviceInfo failed, Code:{}", rc);
        return kEncryptFailed;
    }
    return kResultOk;
}

int MachineIdentity::getDeviceInfo(DeviceInfo& info)
{
    const int rc = readMacAddress();
    if (rc != 0) {
        return rc;
    }
    info = DeviceInfo{macId, cpuModel, cpuSerial, extraId};
    return kResultOk;
}

int MachineIdentity::serializeDeviceInfo(const DeviceInfo& info, std::string& record)
{
    record = base64Encode(info.macId + info.cpuModel + info.cpuSerial + info.extraId, false);
    return kResultOk;
}

int MachineIdentity::encryptDeviceInfo(const std::string& record, std::string& fingerprint)
{
    fingerprint = Md5(record).hexDigest();
    return kResultOk;
}
