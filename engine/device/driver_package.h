// Installing the CorvUsb driver from an INF file: on the present device that has the
// CorvUsb hardware id, or, when there is none, on a root-enumerated device made for it, so
// that the driver is in place when a player arrives.
#pragma once

#include <string>

namespace cv50::device {

// The hardware id of a CorvUsb device (mask ROM or loader), and the shorter one given to
// the root-enumerated device. Fixed: SetVidPid does not change them.
inline constexpr const char* kCorvUsbHardwareId = "USB\\Vid_071b&Pid_3201&Rev_0100";
inline constexpr const char* kCorvUsbRootHardwareId = "USB\\Vid_071b&Pid_3201";

// The results of CVInstallDriver.
inline constexpr int kDriverInstalled = 0;
inline constexpr int kDriverInstalledRestart = 1;  // Windows asks for a restart
inline constexpr int kDriverInstallFailed = 2;
inline constexpr int kDriverInfMissing = 3;
inline constexpr int kDriverNoWindowsVersion = 4;
inline constexpr int kDriverNewHardwareDialog = 5;  // the new-hardware dialog could not be dealt with
inline constexpr int kDriverNoNewDeviceLibrary = 6;
inline constexpr int kDriverCloseWindowsFailed = 7;

enum class DeviceSearch { Found, NotFound, ListFailed, EnumerationFailed };

// Looks among the present devices of every class for one whose hardware ids include
// `hardwareId` (compared without case).
DeviceSearch FindExistingDevice(const std::string& hardwareId);

// The driver install for `hardwareId` from `infPath`: kDriverInstalled,
// kDriverInstalledRestart or kDriverInstallFailed, every step logged.
int InstallDriverPackage(const std::string& hardwareId, const std::string& infPath);

}  // namespace cv50::device
