#include "engine/api/search_exports.h"

#include "engine/api/export_guard.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"

using cv50::api::Guarded;
using cv50::device::Family;
using cv50::device::Walk;
namespace device = cv50::device;

namespace {

int scanExport(const char* name, SEARCH_RESULT* out, Walk walk, Family family) {
    return Guarded(name, 0, [&] { return device::Scan(out, walk, family); });
}

}  // namespace

extern "C" {

int ScanCorvUsb(SEARCH_RESULT* out) { return scanExport("ScanCorvUsb", out, Walk::Usb20, Family::CorvUsb); }

int ScanCorvMsc(SEARCH_RESULT* out) { return scanExport("ScanCorvMsc", out, Walk::Usb20, Family::CorvMsc); }

int ScanCorvUsb_All(SEARCH_RESULT* out) {
    return scanExport("ScanCorvUsb_All", out, Walk::All, Family::CorvUsb);
}

int ScanCorvMsc_All(SEARCH_RESULT* out) {
    return scanExport("ScanCorvMsc_All", out, Walk::All, Family::CorvMsc);
}

int CopySearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to) {
    return Guarded("CopySearchResult", 0, [&] { return device::CopyResult(from, to); });
}

int CopySuccessSearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to) {
    return Guarded("CopySuccessSearchResult", 0,
                   [&] { return device::CopySuccessfulResult(from, to); });
}

int FreeSearchResult(SEARCH_RESULT* result) {
    return Guarded("FreeSearchResult", 0, [&] { return device::FreeResult(result); });
}

int WaitCVDevice(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds) {
    return Guarded("WaitCVDevice", 0, [&] {
        return device::WaitForDevices(devices, type, timeoutSeconds, Walk::Usb20);
    });
}

int WaitCVDevice_All(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds) {
    return Guarded("WaitCVDevice_All", 0, [&] {
        return device::WaitForDevices(devices, type, timeoutSeconds, Walk::All);
    });
}

}  // extern "C"
