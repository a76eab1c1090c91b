// Reading an ID Block copy found on a device: the layout recorded in sector 1, the
// serial number and MAC in sector 3, the image length in sector 0. Sectors 0 and 3
// are taken unscrambled. Their bytes come from the flash and are bounds-checked.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/flash/id_block_image.h"

namespace cv50::flash {

// Sector 1 (never scrambled).
struct IdBlockLayout {
    std::uint16_t firstFreeBlock = 0;  // 0x000: reserved2Last + 1 when consistent
    std::array<std::uint16_t, 4> diskSizesMB{};
    std::array<char, 4> tag{};  // "CV50" or "CV60" on a valid copy
    std::array<std::uint16_t, 3> loaderWords{};
    std::uint16_t reserved1First = 0;
    std::uint16_t reserved1Last = 0;
    std::uint16_t reserved2First = 0;
    std::uint16_t reserved2Last = 0;
    std::array<std::uint16_t, 5> idbBlocks{};

    bool knownTag() const;
};

[[nodiscard]] IdBlockLayout ReadIdBlockLayout(
    std::span<const std::uint8_t, kSectorDataBytes> sector1);

// Sector 3 after unscrambling.
struct SerialNumberRecord {
    std::uint16_t storedLength = 0;    // the length field as found
    std::vector<std::uint8_t> snData;  // the bytes, only when the length is 1-500
    bool hasMac = false;
    std::array<std::uint8_t, 6> mac{};
};

[[nodiscard]] SerialNumberRecord ReadSerialNumber(
    std::span<const std::uint8_t, kSectorDataBytes> sector3);

// N of the copy, from the boot size that unscrambled sector 0 records at 0x1FC
// (FlashBoot size + 512): the boot sectors + 4. Nothing when the field is below 512
// or the copy would not fit in a block of `blockSectors` sectors.
[[nodiscard]] std::optional<std::size_t> StoredIdBlockSectors(
    std::span<const std::uint8_t, kSectorDataBytes> sector0, std::uint32_t blockSectors);

}  // namespace cv50::flash
