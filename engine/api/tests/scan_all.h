// Tests: every player of the simulated world as a caller's list, in port order.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/api/search_exports.h"
#include "engine/device/records.h"
#include "engine/device/search.h"

namespace cv50::testing {

// Disks and CorvUsb devices together, sorted by Layer.
inline std::vector<DEVICE_INFO> scanAll() {
    std::vector<DEVICE_INFO> all;
    SEARCH_RESULT r{};
    ScanCorvMsc(&r);
    all.insert(all.end(), r.devices, r.devices + r.count);
    ScanCorvUsb(&r);
    all.insert(all.end(), r.devices, r.devices + r.count);
    std::sort(all.begin(), all.end(), [](const DEVICE_INFO& a, const DEVICE_INFO& b) {
        return std::strcmp(a.layer, b.layer) < 0;
    });
    return all;
}

}  // namespace cv50::testing
