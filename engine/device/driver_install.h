// CVInstallDriver and CVIsCorvUsbPlug: installing the CorvUsb driver from the INF file a
// host names while the system's new-hardware windows are closed and, on Windows 6 and
// later, its driver-signing question is answered; and whether a CorvUsb device is present.
#pragma once

#include <string>

#include "engine/device/driver_package.h"

namespace cv50::device {

// One of the kDriver* results of driver_package.h; every failure is logged.
int InstallDriver(const std::string& infPath);

// Whether a present device (any class) has the CorvUsb hardware id.
bool IsCorvUsbPlugged();

}  // namespace cv50::device
