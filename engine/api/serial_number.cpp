// Exports: the serial number of a device in Loader mode.
#include "engine/flash/serial_number.h"

#include <cstring>
#include <span>
#include <string>

#include "engine/api/export_guard.h"
#include "engine/api/exports.h"
#include "engine/api/record_text.h"

namespace {

using cv50::api::pathOf;

// Only a loader answers the flash commands; anything else is refused before any traffic.
bool isLoader(const DEVICE_INFO* device) {
    if (device != nullptr && device->type == Loader) return true;
    Log("ERROR:Device is not Loader");
    return false;
}

}  // namespace

extern "C" {

int ReadSN(DEVICE_INFO* device, unsigned char* buffer, int length) {
    return cv50::api::Guarded("ReadSN", 0, [&] {
        if (!isLoader(device) || length < 0 || (buffer == nullptr && length > 0)) return 0;
        return cv50::flash::ReadSerialNumberExactly(
                   pathOf(*device), std::span(buffer, static_cast<std::size_t>(length)))
                   ? 1
                   : 0;
    });
}

int WriteSN(DEVICE_INFO* device, unsigned char* sn, int length) {
    return cv50::api::Guarded("WriteSN", 0, [&] {
        if (!isLoader(device)) return 0;
        if (length <= 0 || sn == nullptr) {
            Log("ERROR:The length of sn is smaller than zero");
            return 0;
        }
        return cv50::flash::WriteSerialNumber(pathOf(*device),
                                              std::span(sn, static_cast<std::size_t>(length)))
                   ? 1
                   : 0;
    });
}

}  // extern "C"
