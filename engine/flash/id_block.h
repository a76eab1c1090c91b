// Building the ID Block: the record at the start of the flash from which the boot ROM
// finds its boot code. Sectors 0-3 hold the header, layout, chip data and serial
// number; sector 4 the FlashData file; sectors 5 on the FlashBoot file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/flash/bch.h"
#include "engine/flash/id_block_image.h"

namespace cv50::flash {

inline constexpr std::size_t kMaxFlashDataBytes = kSectorDataBytes;
// Sector 0 records the boot size plus 512 in 16 bits.
inline constexpr std::size_t kMaxFlashBootBytes = 0xFFFF - kSectorDataBytes;
inline constexpr std::size_t kMaxSerialNumberBytes = 500;
inline constexpr std::uint8_t kIdBlockMarker = 0x69;  // spare byte 2 of sector 0

// What an ID Block is built from. Each field names the CFlashDevice member it is
// taken from; the two files are passed as their contents.
struct IdBlockFields {
    std::array<std::uint16_t, 3> loaderWords{};  // loaderWords
    std::uint16_t reserved1First = 0;            // reserved1First
    std::uint16_t reserved1Last = 0;             // reserved1Last
    std::uint16_t reserved2First = 0;            // reserved2First
    std::uint16_t reserved2Last = 0;             // reserved2Last
    std::array<std::uint16_t, 5> idbBlocks{};    // idbBlocks
    std::array<std::uint8_t, 16> chipInfo{};     // chipInfo, read first when chipInfoStale
    std::uint32_t chipSizeMB = 0;                // flashInfo.sizeMB
    std::uint16_t blockKB = 0;                   // flashInfo.blockKB
    std::uint32_t pageKB = 0;                    // flashInfo.pageKB
    std::uint8_t geometryA = 0;                  // flashInfo.geometryA
    std::uint8_t geometryB = 0;                  // flashInfo.geometryB
    std::uint32_t blockSectors = 1;              // flashInfo.blockSectors: the image's limit
    std::array<std::uint16_t, 4> diskSizesMB{};  // diskSizesMB
    std::vector<std::uint8_t> snData;            // snData; snLength is its size
    bool hasMac = false;                         // hasMac
    std::array<std::uint8_t, 6> mac{};           // mac
    std::vector<std::uint8_t> flashData;         // the file at flashDataPath
    std::vector<std::uint8_t> flashBoot;         // the file at flashBootPath
};

// N: five header and FlashData sectors, then the FlashBoot file in whole sectors.
[[nodiscard]] std::size_t IdBlockSectorCount(std::size_t flashBootBytes);

// True when the files fit their places and the image fits in one block; otherwise
// false with an "ERROR:" line.
[[nodiscard]] bool CheckIdBlockSizes(const IdBlockFields& fields);

// A fresh image: sectors 0-3 from the fields, the two files behind them, sectors 0, 2
// and 3 scrambled; spare areas erased (0xFF). Logs "INFO:MakeIDBlockData start".
// False, with an "ERROR:" line and `image` emptied, when a file is too large for its
// place or the image would not fit in one block.
[[nodiscard]] bool MakeIDBlockData(const IdBlockFields& fields, IdBlockImage& image);

// Puts new boot files into a plain (unscrambled) image: FlashData into sector 4, the
// FlashBoot file from sector 5 on, and the sector-0 fields taken from the FlashBoot
// file. The image is cut or grown to N sectors; sectors 0-3 keep everything else.
// False, with an "ERROR:" line and the image untouched, on the same refusals as above.
[[nodiscard]] bool PutBootFiles(const IdBlockFields& fields, IdBlockImage& plain);

// A copy of a plain image ready for parity: sectors 1, 2 and 3 rebuilt from the fields,
// then sectors 0, 2 and 3 scrambled. `plain` stays plain, so a retry starts from it
// again and sector 0 is scrambled exactly once per attempt.
[[nodiscard]] IdBlockImage RefreshIDBSectors(const IdBlockFields& fields,
                                             const IdBlockImage& plain);

// Spare areas of every sector: 0xFF, 0xFF, the marker 0x69 in sector 0 (0xFF in the
// others), then the parity over the data and those three bytes.
// Logs "INFO:MakeEccSpareData start".
void MakeEccSpareData(const BchCode& bch, IdBlockImage& image);

}  // namespace cv50::flash
