// The text fields of a DEVICE_INFO as strings; a field without its NUL ends at its size.
#pragma once

#include <cstring>
#include <string>

#include "engine/device/records.h"

namespace cv50::api {

inline std::string pathOf(const DEVICE_INFO& device) {
    return std::string(device.devicePath, strnlen(device.devicePath, sizeof device.devicePath));
}

inline std::string layerOf(const DEVICE_INFO& device) {
    return std::string(device.layer, strnlen(device.layer, sizeof device.layer));
}

// The first record of `list` on `layer`, or -1.
inline int indexOfLayer(const SEARCH_RESULT& list, const DEVICE_INFO& device) {
    for (int i = 0; i < list.count; ++i)
        if (std::strncmp(list.devices[i].layer, device.layer, sizeof device.layer) == 0) return i;
    return -1;
}

}  // namespace cv50::api
