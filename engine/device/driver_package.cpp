#include "engine/device/driver_package.h"

#include <algorithm>

#include "base/text.h"
#include "engine/device/log.h"
#include "engine/os/error_codes.h"
#include "engine/os/os.h"

namespace cv50::device {
namespace {

// A device information set of the backend, released on every path.
class DeviceInfoSet {
public:
    explicit DeviceInfoSet(os::Handle set) : set_(set) {}
    ~DeviceInfoSet() {
        if (set_ != 0) os::current().destroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    explicit operator bool() const { return set_ != 0; }
    os::Handle get() const { return set_; }

private:
    os::Handle set_;
};

// Creates and registers a root-enumerated device with `hardwareId` and installs the INF's
// driver on it; a device whose install failed is removed again. True only when every step
// succeeded.
bool InstallRootEnumeratedDevice(const std::string& hardwareId, const std::string& infPath,
                                 bool& restart) {
    os::Os& sys = os::current();
    const auto deviceClass = sys.infClass(infPath);
    if (!deviceClass) {
        Log("Error:GetINFClass failed");
        return false;
    }
    const DeviceInfoSet set(sys.createDeviceInfoList(*deviceClass));
    if (!set) {
        Log("Error:CreateDeviceInfoList failed");
        return false;
    }
    if (!sys.createDeviceInfo(set.get(), *deviceClass)) {
        Log("Error:CreateDeviceInfo failed");
        return false;
    }
    if (!sys.setHardwareIds(set.get(), {hardwareId})) {
        Log("Error:SetDeviceRegistryProperty failed");
        return false;
    }
    if (!sys.callClassInstaller(set.get(), os::ClassInstallRequest::RegisterDevice)) {
        Log("Error:Register device failed");
        return false;
    }
    Log("INFO:Start to install plug and play device");
    if (sys.updateDriverForPlugAndPlayDevices(hardwareId, infPath, restart)) {
        Log("INFO:install OK");
        return true;
    }
    Log("Error:Install failed,errCode(0x%x)", static_cast<unsigned>(sys.lastError()));
    // A registered device without its driver would stay an unknown device for good.
    if (!sys.callClassInstaller(set.get(), os::ClassInstallRequest::Remove))
        Log("Error:Remove device failed");
    return false;
}

int Installed(bool restart) {
    if (restart) return kDriverInstalledRestart;
    Log("INFO:Install driver OK");
    return kDriverInstalled;
}

}  // namespace

DeviceSearch FindExistingDevice(const std::string& hardwareId) {
    const os::PresentDevices devices = os::current().presentDevices();
    if (!devices.listed) {
        Log("Error:FindExistingDevice,SetupDiGetClassDevs failed");
        return DeviceSearch::ListFailed;
    }
    for (const auto& ids : devices.hardwareIds)
        if (std::any_of(ids.begin(), ids.end(),
                        [&](const std::string& id) { return base::equalNoCase(id, hardwareId); }))
            return DeviceSearch::Found;
    return devices.endError == os::error::kNoMoreItems ? DeviceSearch::NotFound
                                                       : DeviceSearch::EnumerationFailed;
}

int InstallDriverPackage(const std::string& hardwareId, const std::string& infPath) {
    os::Os& sys = os::current();
    if (sys.findFiles(infPath).empty()) {
        Log("Error:FindFirstFile failed");
        return kDriverInstallFailed;
    }
    bool restart = false;
    switch (FindExistingDevice(hardwareId)) {
        case DeviceSearch::Found:
            Log("INFO:Found device");
            Log("INFO:Start to install driver");
            if (!sys.updateDriverForPlugAndPlayDevices(hardwareId, infPath, restart)) {
                Log("Error: Install driver failed");
                return kDriverInstallFailed;
            }
            return Installed(restart);
        case DeviceSearch::NotFound:
            Log("INFO:Install root driver");
            if (!InstallRootEnumeratedDevice(kCorvUsbRootHardwareId, infPath, restart)) {
                Log("Error:Install root driver failed");
                return kDriverInstallFailed;
            }
            return Installed(restart);
        case DeviceSearch::ListFailed:
        case DeviceSearch::EnumerationFailed:
            // Without a complete list a root device could duplicate a present one.
            break;
    }
    Log("Error:An unknown failure from FindExistingDevice");
    return kDriverInstallFailed;
}

}  // namespace cv50::device
