// Reading the fields of an existing ID Block copy.
#include "engine/flash/id_block_read.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "engine/flash/id_block.h"

namespace cv50::flash {

bool IdBlockLayout::knownTag() const {
    return std::memcmp(tag.data(), "CV50", 4) == 0 || std::memcmp(tag.data(), "CV60", 4) == 0;
}

IdBlockLayout ReadIdBlockLayout(std::span<const std::uint8_t, kSectorDataBytes> s) {
    IdBlockLayout layout;
    layout.firstFreeBlock = base::loadLe16(s, 0x000);
    for (std::size_t i = 0; i < layout.diskSizesMB.size(); ++i) {
        layout.diskSizesMB[i] = base::loadLe16(s, 0x002 + 2 * i);
    }
    std::copy_n(s.begin() + 0x00A, 4, layout.tag.begin());
    for (std::size_t i = 0; i < layout.loaderWords.size(); ++i) {
        layout.loaderWords[i] = base::loadLe16(s, 0x012 + 2 * i);
    }
    layout.reserved1First = base::loadLe16(s, 0x1EE);
    layout.reserved1Last = base::loadLe16(s, 0x1F0);
    layout.reserved2First = base::loadLe16(s, 0x1F2);
    layout.reserved2Last = base::loadLe16(s, 0x1F4);
    for (std::size_t i = 0; i < layout.idbBlocks.size(); ++i) {
        layout.idbBlocks[i] = base::loadLe16(s, 0x1F6 + 2 * i);
    }
    return layout;
}

SerialNumberRecord ReadSerialNumber(std::span<const std::uint8_t, kSectorDataBytes> s) {
    SerialNumberRecord record;
    record.storedLength = base::loadLe16(s, 0x000);
    if (record.storedLength >= 1 && record.storedLength <= kMaxSerialNumberBytes) {
        record.snData.assign(s.begin() + 0x002, s.begin() + 0x002 + record.storedLength);
    }
    if (std::memcmp(s.data() + 0x1F6, "MAC\x06", 4) == 0) {
        record.hasMac = true;
        std::copy_n(s.begin() + 0x1FA, record.mac.size(), record.mac.begin());
    }
    return record;
}

std::optional<std::size_t> StoredIdBlockSectors(std::span<const std::uint8_t, kSectorDataBytes> s,
                                                std::uint32_t blockSectors) {
    const std::size_t recorded = base::loadLe16(s, 0x1FC);
    if (recorded < kSectorDataBytes) return std::nullopt;
    const std::size_t sectors = (recorded + kSectorDataBytes - 1) / kSectorDataBytes + 4;
    if (sectors > blockSectors) return std::nullopt;
    return sectors;
}

}  // namespace cv50::flash
