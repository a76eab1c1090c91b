// Decoding the flash information record; finding good blocks in the map.
#include "engine/flash/flash_info.h"

#include <algorithm>

#include "base/byte_order.h"

namespace cv50::flash {

const char* manufacturerName(std::uint8_t code) {
    static constexpr const char* kNames[] = {"SAMSUNG", "TOSHIBA", "HYNIX", "INFINEON",
                                             "MICRON",  "RENESAS", "ST",    "INTEL"};
    return code < std::size(kNames) ? kNames[code] : "";
}

bool decodeFlashInfo(std::span<const std::uint8_t> raw, FlashInfo& info) {
    if (raw.size() < kRawFlashInfoSize) return false;
    const std::uint32_t chipSectors = base::loadLe32(raw, 0);
    const std::uint16_t blockSectors = base::loadLe16(raw, 4);
    const auto blockKB = static_cast<std::uint16_t>(blockSectors >> 1);
    // The block count divides by the block size: a device reporting none is unusable.
    if (blockKB == 0) return false;
    info.sizeMB = chipSectors >> 11;
    info.blockKB = blockKB;
    info.pageKB = raw[6] >> 1;
    info.blockSectors = blockSectors;
    info.blockCount = info.sizeMB * 1024 / blockKB;
    info.geometryA = raw[7];
    info.geometryB = raw[8];
    info.manufacturer = manufacturerName(raw[9]);
    info.chipMask = raw[10];
    return true;
}

int FindGoodBlock(std::span<const std::uint8_t> map, int limit, int start, int runLength) {
    limit = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(std::max(limit, 0)), map.size()));
    if (start < 0 || start >= limit || runLength < 1) return -1;
    int candidate = start;
    int run = 0;
    for (int i = start; i < limit; ++i) {
        if (map[static_cast<std::size_t>(i)] != 0) {
            run = 0;
            candidate = i + 1;
            continue;
        }
        if (++run >= runLength) return i == limit - 1 ? -1 : candidate;
    }
    return -1;
}

}  // namespace cv50::flash
