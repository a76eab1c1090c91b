// The boot ROM's unscrambling of ID Block sectors 0, 2 and 3: RC4 over the sector's
// 512 data bytes with the device's 16-byte key, restarted for every sector.
#pragma once

#include <cstdint>
#include <span>

namespace cv50::sim {

// Scrambling and unscrambling are the same XOR.
void unscrambleSector(std::span<std::uint8_t, 512> data);

}  // namespace cv50::sim
