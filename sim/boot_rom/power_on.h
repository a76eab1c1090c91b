// What the boot ROM does at power-on and after a reset: look for a valid ID Block copy in
// the first blocks of chip 0 and run the loader it points to; without one the chip stays
// in its mask ROM.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/nand.h"
#include "sim/scenario.h"

namespace cv50::sim {

// The first block below 200 of chip 0 that holds a valid copy: the one the ROM boots.
std::optional<std::uint32_t> bootRomCopyBlock(const Nand& nand);
// Loader when a block below 200 of chip 0 holds a valid copy, else MaskRom.
PlayerMode bootRomMode(const Nand& nand);

}  // namespace cv50::sim
