// The boot ROM's judgement of one flash block as an ID Block copy: spare marker, BCH
// check and repair of every sector the copy uses, unscrambling, the header fields;
// and what the ROM and the loader take from a copy that passes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cv50::sim {

struct IdBlockCopy {
    std::size_t sectors = 0;                    // sectors the copy uses (N)
    unsigned correctedBits = 0;                 // over all of them
    std::vector<std::uint8_t> bootCode;         // sectors 5 on, as long as sector 0 says
    std::array<std::uint8_t, 512> flashData{};  // sector 4
    std::array<std::uint16_t, 5> bootFields{};  // sector 0 at 0x004, 0x006, 0x008, 0x00A, 0x024
    // Sector 1.
    std::uint16_t firstFreeBlock = 0;
    std::array<std::uint16_t, 4> diskSizesMB{};
    std::string tag;
    std::array<std::uint16_t, 3> loaderWords{};
    std::uint32_t chipSectors = 0;
    std::uint8_t geometryA = 0, geometryB = 0;
    std::uint16_t blockSectors = 0;
    std::uint8_t pageSectors = 0;
    std::array<std::uint16_t, 4> reservedRanges{};  // first/last of range 1, then range 2
    std::array<std::uint16_t, 5> idbBlocks{};
    // Sector 2.
    std::array<std::uint8_t, 16> chipInfo{};
    // Sector 3.
    std::vector<std::uint8_t> serialNumber;  // empty unless its length is 1-500
    std::optional<std::array<std::uint8_t, 6>> mac;
};

enum class IdBlockFault {
    None,
    NotWholeSectors,  // the block is not a whole number of 528-byte sectors
    TooShort,         // fewer sectors than an ID Block needs
    NoMarker,         // sector 0's spare byte 2 is not 0x69
    Uncorrectable,    // more bit errors than the code corrects
    BadSpare,         // spare bytes 0-2 other than 0xFF, 0xFF, marker/0xFF
    BadHeader,        // sector 0's signature or constants
    BadBootSize,      // sector 0's boot size does not fit the block
    BadBootFields,    // sector 0's version fields disagree with the boot code
    BadChipInfo,      // sector 2's length field
};

struct IdBlockVerdict {
    IdBlockFault fault = IdBlockFault::None;
    std::size_t faultSector = 0;  // the sector the fault was found in
    IdBlockCopy copy;             // filled only when valid

    bool valid() const { return fault == IdBlockFault::None; }
    std::string describe() const;
};

// `block`: the block's sectors as raw flash holds them (512 data + 16 spare bytes each).
[[nodiscard]] IdBlockVerdict checkIdBlockCopy(std::span<const std::uint8_t> block);

}  // namespace cv50::sim
