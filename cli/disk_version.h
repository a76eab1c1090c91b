// The loader and system versions a player running as a disk reports.
#pragma once

#include <optional>
#include <string>

namespace cv50::cli {

struct DiskVersions {
    std::string loader, system;  // "0002.0010"
};

// The versions of the disk on port `layer`; nothing when no disk answers there, with the
// reason in `problem`.
std::optional<DiskVersions> readDiskVersions(const std::string& layer, std::string& problem);

}  // namespace cv50::cli
