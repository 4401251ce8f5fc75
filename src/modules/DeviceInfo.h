#pragma once

#include <string>

// The identity texts in the order they are joined for the fingerprint.
struct DeviceInfo {
    std::string macId;
    std::string cpuModel;
    std::string cpuSerial;
    std::string extraId;
};
