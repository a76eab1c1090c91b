// The real driver-setup calls behind the os seam (Windows only): the device list, device
// information sets and the new-device library.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::os::win32 {

PresentDevices presentDevices();
std::optional<InfClass> infClass(const std::string& infPath);
Handle createDeviceInfoList(const InfClass& deviceClass);
bool createDeviceInfo(Handle set, const InfClass& deviceClass);
bool setHardwareIds(Handle set, const std::vector<std::string>& ids);
bool callClassInstaller(Handle set, ClassInstallRequest request);
void destroyDeviceInfoList(Handle set);
bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId, const std::string& infPath,
                                       bool& restart);
std::string systemFolder();

}  // namespace cv50::os::win32
