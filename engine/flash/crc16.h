// The transfer checksum of boot-program downloads: CRC-16, polynomial 0x1021,
// initial value 0xFFFF, most significant bit first, no reflection, no final XOR.
#pragma once

#include <cstdint>
#include <span>

namespace cv50::flash {

[[nodiscard]] std::uint16_t Crc16CcittFalse(std::span<const std::uint8_t> data);

}  // namespace cv50::flash
