// The loader and system versions a player running as a disk reports.
#pragma once

#include <optional>
#include <string>

#include "engine/device/records.h"

namespace cv50::cli {

struct DiskVersions {
    std::string loader, system;  // "0002.0010"
};

// The versions of the disk on port `layer`; nothing when no disk answers there, with the
// reason in `problem`.
std::optional<DiskVersions> readDiskVersions(const std::string& layer, std::string& problem);
// The same for a disk already found; its drive letter is looked up when it has none. This
// looks at one disk, where the above scans them all.
std::optional<DiskVersions> readDiskVersions(DEVICE_INFO disk, std::string& problem);

}  // namespace cv50::cli
