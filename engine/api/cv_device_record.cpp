// The device-record exports that find, wait for, command and reset one device.
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/cv_exports.h"
#include "engine/api/export_guard.h"
#include "engine/api/record_text.h"
#include "engine/device/disk_commands.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

int findDevice(DEVICE_INFO& out, bool includeUsb11) {
    const device::FoundPlayers found = device::FindPlayers(device::walkFor(includeUsb11));
    if (!found.players.empty()) {
        DEVICE_INFO d = found.players.front();
        if (d.type == Msc) d.driveLetter = device::findDriveLetter(d.devicePath, d.devInst);
        out = d;
    }
    return found.count;
}

}  // namespace
}  // namespace cv50::api

using cv50::api::Guarded;

int CV_FindDevice(DEVICE_INFO& out, int includeUsb11) {
    return Guarded("CV_FindDevice", 0,
                   [&] { return cv50::api::findDevice(out, includeUsb11 != 0); });
}

int CV_WaitDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                  int includeUsb11) {
    return Guarded("CV_WaitDevice", 0, [&] {
        return cv50::device::WaitForDevice(device, type, timeoutSeconds,
                                           cv50::device::walkFor(includeUsb11 != 0));
    });
}

int CV_SwitchCorvUsb(const DEVICE_INFO& device) {
    return Guarded("CV_SwitchCorvUsb", 0, [&] {
        if (device.driveLetter == 0) return 0;
        return cv50::device::ScsiVendorCommand(device.driveLetter,
                                               cv50::device::kCommandSwitchToCorvUsb, nullptr, 0);
    });
}

int CV_GetDeviceVersion(const DEVICE_INFO& device, _CORV_VERSION* out) {
    return Guarded("CV_GetDeviceVersion", 0, [&] {
        if (device.driveLetter == 0 || out == nullptr) return 0;
        return cv50::device::ScsiVendorCommand(device.driveLetter,
                                               cv50::device::kCommandReadVersion, out, sizeof *out);
    });
}

int CV_ResetDevice(const DEVICE_INFO& device) {
    return Guarded("CV_ResetDevice", 0,
                   [&] { return CVU_ResetDevice(cv50::api::pathOf(device).c_str()) == 0 ? 1 : 0; });
}
