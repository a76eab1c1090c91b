// The trailer of a firmware image: the 512-byte tail block (tag "TOOLVER", system
// version, disk sizes, CRC-32) and the 32-character check value after it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace cv50::flash {

inline constexpr std::size_t kTailBlockSize = 512;
inline constexpr std::size_t kCheckValueSize = 32;
inline constexpr std::size_t kTrailerSize = kTailBlockSize + kCheckValueSize;  // 544
inline constexpr char kTailTag[] = "TOOLVER";                                  // 7 bytes, no NUL
inline constexpr std::size_t kTailTagSize = sizeof kTailTag - 1;

// CRC-32 with the generator 0x04C10DB7, most significant bit first, initial value 0,
// no reflection, no final XOR ("abc" gives 0x3A06543E).
std::uint32_t tailCrc32(std::span<const std::uint8_t> data);

// The fields the engine reads; bytes not listed stay zero when a block is built.
struct TailFields {
    std::uint32_t systemVersion = 0;  // high 16 bits systemHigh, low 16 bits systemLow
    std::uint32_t systemDiskMB = 0;
    std::uint32_t configDiskMB = 0;
};

struct TailBlock {
    std::array<std::uint8_t, kTailBlockSize> bytes{};

    [[nodiscard]] bool hasTag() const;
    TailFields fields() const;
    std::uint32_t storedCrc() const;
    // CRC-32 of bytes 0 to 407.
    std::uint32_t computedCrc() const;
};

TailBlock tailBlockFromBytes(std::span<const std::uint8_t> bytes);

// A block as the packer writes it; `tag` (at most 7 characters, the rest zero) and the CRC
// can be set apart from the fields so broken images can be made on purpose.
TailBlock buildTailBlock(const TailFields& fields, const std::string& tag = kTailTag);
void setTailCrc(TailBlock& block, std::uint32_t crc);

}  // namespace cv50::flash
