// Scrambling of ID Block sectors 0, 2 and 3: RC4 with a fixed 16-byte key, restarted
// for every sector. Scrambling and unscrambling are the same operation.
#pragma once

#include <cstdint>
#include <span>

#include "engine/flash/id_block_image.h"

namespace cv50::flash {

// XORs one sector's data bytes with the key stream.
void ScrambleSector(std::span<std::uint8_t, kSectorDataBytes> sector);

// Scrambles (or unscrambles) sectors 0, 2 and 3 of an image of at least 4 sectors.
void ScrambleIdBlock(IdBlockImage& image);

}  // namespace cv50::flash
