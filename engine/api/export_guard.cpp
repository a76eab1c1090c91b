#include "engine/api/export_guard.h"

#include "engine/device/log.h"

namespace cv50::api {

void LogEscapedException(const char* exportName, const char* what) noexcept {
    // The log formats into a fixed buffer; the file write may still fail to allocate.
    try {
        Log("ERROR:%s failed,exception(%s)", exportName, what);
    } catch (...) {
    }
}

}  // namespace cv50::api
