// What the boot ROM does at power-on and after a reset: look for a valid ID Block copy in
// the first blocks of chip 0 and run the loader it points to; without one the chip stays
// in its mask ROM.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/boot_rom/idb_check.h"
#include "sim/nand.h"
#include "sim/nand_disk.h"

namespace cv50::sim {

struct BootedCopy {
    std::uint32_t block = 0;  // of chip 0
    IdBlockCopy copy;
};

// The first valid copy in a good block below 200 of chip 0: the loader it carries runs.
// Nothing: the chip stays in its mask ROM.
std::optional<BootedCopy> acceptedIdBlock(const Nand& nand);
// The block of that copy.
std::optional<std::uint32_t> bootRomCopyBlock(const Nand& nand);

// How the loader started from `copy` lays out its disks, and the version it reports.
DiskLayout diskLayoutOf(const IdBlockCopy& copy);

}  // namespace cv50::sim
