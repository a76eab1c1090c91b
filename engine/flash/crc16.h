// The transfer checksum of boot-program downloads: CRC-16, polynomial 0x1021,
// initial value 0xFFFF, most significant bit first, no reflection, no final XOR.
#pragma once

#include <cstdint>
#include <span>

namespace cv50::flash {

inline constexpr std::uint16_t kCrc16Initial = 0xFFFF;

// The checksum of `data`; pass the result of a previous piece as `crc` to go on with the
// next one, so a file can be summed without holding it whole.
[[nodiscard]] std::uint16_t Crc16CcittFalse(std::span<const std::uint8_t> data,
                                            std::uint16_t crc = kCrc16Initial);

}  // namespace cv50::flash
