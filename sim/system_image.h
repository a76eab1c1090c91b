// What the disk firmware finds on the system disk at start: a firmware image is there when
// the disk starts with a FAT volume that holds the loader file where a package keeps it.
// The image's tail block (tag "TOOLVER" at 500, CRC-32 of bytes 0-407 at 408) lies after
// the volume and carries the system version.
#pragma once

#include <cstdint>
#include <optional>

#include "fwpkg/sector_device.h"

namespace cv50::sim {

struct SystemImage {
    // High 16 bits systemHigh, low 16 bits systemLow; nothing without a sound tail block.
    std::optional<std::uint32_t> systemVersion;
};

// Nothing when `systemDisk` holds no image.
std::optional<SystemImage> findSystemImage(fwpkg::SectorDevice& systemDisk);

}  // namespace cv50::sim
