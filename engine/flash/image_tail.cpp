// Tail block: layout, CRC and reading it from the image file.
#include "engine/flash/image_tail.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"

namespace cv50::flash {

namespace {

constexpr std::size_t kSystemVersionOffset = 112;
constexpr std::size_t kSystemDiskOffset = 380;
constexpr std::size_t kConfigDiskOffset = 384;
constexpr std::size_t kCrcOffset = 408;
constexpr std::size_t kTagOffset = 500;
constexpr std::uint32_t kPolynomial = 0x04C10DB7;

struct CrcTable {
    std::uint32_t words[256];
    constexpr CrcTable() : words{} {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x80000000u) ? (c << 1) ^ kPolynomial : c << 1;
            words[i] = c;
        }
    }
};
constexpr CrcTable kCrcTable;

}  // namespace

std::uint32_t tailCrc32(std::span<const std::uint8_t> data) {
    std::uint32_t crc = 0;
    for (std::uint8_t b : data) crc = (crc << 8) ^ kCrcTable.words[((crc >> 24) ^ b) & 0xFF];
    return crc;
}

bool TailBlock::hasTag() const {
    return std::memcmp(bytes.data() + kTagOffset, kTailTag, kTailTagSize) == 0;
}

TailFields TailBlock::fields() const {
    return {base::loadLe32(bytes, kSystemVersionOffset), base::loadLe32(bytes, kSystemDiskOffset),
            base::loadLe32(bytes, kConfigDiskOffset)};
}

std::uint32_t TailBlock::storedCrc() const { return base::loadLe32(bytes, kCrcOffset); }

std::uint32_t TailBlock::computedCrc() const {
    return tailCrc32(std::span(bytes.data(), kCrcOffset));
}

TailBlock tailBlockFromBytes(std::span<const std::uint8_t> bytes) {
    TailBlock block;
    std::copy_n(bytes.begin(), std::min(bytes.size(), kTailBlockSize), block.bytes.begin());
    return block;
}

TailBlock buildTailBlock(const TailFields& fields, const std::string& tag) {
    TailBlock block;
    base::storeLe32(block.bytes, kSystemVersionOffset, fields.systemVersion);
    base::storeLe32(block.bytes, kSystemDiskOffset, fields.systemDiskMB);
    base::storeLe32(block.bytes, kConfigDiskOffset, fields.configDiskMB);
    std::copy_n(tag.begin(), std::min(tag.size(), kTailTagSize), block.bytes.begin() + kTagOffset);
    setTailCrc(block, block.computedCrc());
    return block;
}

void setTailCrc(TailBlock& block, std::uint32_t crc) { base::storeLe32(block.bytes, kCrcOffset, crc); }

}  // namespace cv50::flash
