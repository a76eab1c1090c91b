// Flash geometry as the loader reports it, and the block-state map of chip 0.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cv50::flash {

inline constexpr std::size_t kRawFlashInfoSize = 16;

struct FlashInfo {
    std::string manufacturer;  // name of the manufacturer code; empty for an unknown code
    std::uint32_t sizeMB = 0;  // one chip, whole megabytes
    std::uint16_t blockKB = 0;
    std::uint32_t pageKB = 0;
    std::uint32_t blockSectors = 1;
    std::vector<std::uint8_t> blockMap;  // one byte per block, 0 good, 1 bad; empty until built
    std::uint32_t blockCount = 0;        // blocks of one chip
    std::uint8_t geometryA = 0;
    std::uint8_t geometryB = 0;
    std::uint8_t chipMask = 0;
};

// The manufacturer name of a code, or "" for a code outside the table.
const char* manufacturerName(std::uint8_t code);

// Fills the geometry fields of `info` (not its map) from the 16-byte record. False, with
// `info` unchanged, when the record gives no usable geometry (a block under 1 KB).
[[nodiscard]] bool decodeFlashInfo(std::span<const std::uint8_t> raw, FlashInfo& info);

// Where a run of `runLength` good blocks starts, scanning from `start` below `limit` (and
// below the map's end); -1 when there is none. A run ending on the last block scanned is
// not taken.
int FindGoodBlock(std::span<const std::uint8_t> map, int limit, int start, int runLength);

}  // namespace cv50::flash
