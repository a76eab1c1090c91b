// The two driver exports of CV50DLL that the switch falls back on when a player does not come
// back after it was switched: whether a CorvUsb device sits in the system's device list
// (CVIsCorvUsbPlug) and the driver installation from an INF file (CVInstallDriver: 0 or 1
// installed, 2 to 7 failures).
#pragma once

#include <functional>

namespace cv50::updater {

struct DriverLibrary {
    std::function<int()> corvUsbPlugged;
    std::function<int(char* infPath)> installDriver;
};

// The process's. Until CV50DLL exports the two calls, no CorvUsb device is ever reported, so
// the switch ends as a player that did not come back. Tests replace it.
DriverLibrary& driverLibrary();

}  // namespace cv50::updater
