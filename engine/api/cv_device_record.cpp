// The device-record exports that find, wait for, command and reset one device.
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/cv_exports.h"
#include "engine/api/record_text.h"
#include "engine/device/disk_commands.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kHitsNeeded = 10;

std::vector<device::PortEntry> walk(bool includeUsb11) {
    std::vector<device::PortEntry> entries;
    if (includeUsb11)
        device::EnumerateUsbPortsAll(entries);
    else
        device::EnumerateUsbPorts(entries);
    return entries;
}

void lookUpDrive(DEVICE_INFO& d) {
    if (d.type == Msc) d.driveLetter = device::findDriveLetter(d.devicePath, d.devInst);
}

int findDevice(DEVICE_INFO& out, bool includeUsb11) {
    int count = 0;
    bool described = false;
    for (const device::PortEntry& e : walk(includeUsb11)) {
        const auto kind = device::classify(e);
        if (!kind) continue;
        ++count;
        DEVICE_INFO d;
        if (described || !device::recordFromEntry(d, e, *kind)) continue;
        lookUpDrive(d);
        out = d;
        described = true;
    }
    return count;
}

int waitDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
               bool includeUsb11) {
    os::Os& sys = os::current();
    const std::string layer = layerOf(device);
    const std::uint64_t start = sys.tickMs() / 1000;
    int hits = 0;
    while (sys.tickMs() / 1000 - start <= timeoutSeconds) {
        DEVICE_INFO seen;
        bool hit = false;
        for (const device::PortEntry& e : walk(includeUsb11)) {
            if (e.layer != layer) continue;
            if (device::classify(e).value_or(NoDevice) == type &&
                device::recordFromEntry(seen, e, type)) {
                hit = true;
                break;
            }
        }
        // Only an unbroken run counts: a device that shows up in the middle of
        // re-enumerating and vanishes again is not taken.
        hits = hit ? hits + 1 : 0;
        if (hits == kHitsNeeded) {
            lookUpDrive(seen);
            device = seen;
            return 1;
        }
        sys.sleepMs(200);
    }
    return 0;
}

}  // namespace
}  // namespace cv50::api

int CV_FindDevice(DEVICE_INFO& out, int includeUsb11) {
    try {
        return cv50::api::findDevice(out, includeUsb11 != 0);
    } catch (...) {
        return 0;
    }
}

int CV_WaitDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                  int includeUsb11) {
    try {
        return cv50::api::waitDevice(device, type, timeoutSeconds, includeUsb11 != 0);
    } catch (...) {
        return 0;
    }
}

int CV_SwitchCorvUsb(const DEVICE_INFO& device) {
    if (device.driveLetter == 0) return 0;
    return cv50::device::ScsiVendorCommand(device.driveLetter,
                                           cv50::device::kCommandSwitchToCorvUsb, nullptr, 0);
}

int CV_GetDeviceVersion(const DEVICE_INFO& device, _CORV_VERSION* out) {
    if (device.driveLetter == 0 || out == nullptr) return 0;
    return cv50::device::ScsiVendorCommand(device.driveLetter, cv50::device::kCommandReadVersion,
                                           out, sizeof *out);
}

int CV_ResetDevice(const DEVICE_INFO& device) {
    return CVU_ResetDevice(cv50::api::pathOf(device).c_str()) == 0 ? 1 : 0;
}
