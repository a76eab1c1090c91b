// The driver exports of CV50DLL.
#include "engine/api/exports.h"
#include "engine/api/export_guard.h"
#include "engine/device/driver_install.h"

using cv50::api::Guarded;
namespace device = cv50::device;

extern "C" {

int CVInstallDriver(char* infPath) {
    return Guarded("CVInstallDriver", device::kDriverInstallFailed,
                   [&] { return device::InstallDriver(infPath != nullptr ? infPath : ""); });
}

int CVIsCorvUsbPlug() {
    return Guarded("CVIsCorvUsbPlug", 0, [] { return device::IsCorvUsbPlugged() ? 1 : 0; });
}

}  // extern "C"
