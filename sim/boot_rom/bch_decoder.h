// The boot ROM's check of one raw flash sector: the binary BCH code over GF(2^13)
// that covers the 512 data bytes and spare bytes 0-2, with 13 parity bytes in spare
// bytes 3-15. Corrects up to 8 bit errors anywhere in those 528 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cv50::sim {

inline constexpr std::size_t kRawSectorBytes = 528;  // 512 data + 16 spare

class BchDecoder {
public:
    BchDecoder();

    // Repairs `sector` in place. Returns the number of bits corrected (0-8), or nothing
    // when the sector holds more errors than the code can correct; the sector is then
    // left as it was.
    [[nodiscard]] std::optional<unsigned> correct(
        std::span<std::uint8_t, kRawSectorBytes> sector) const;

private:
    unsigned multiply(unsigned a, unsigned b) const;
    unsigned inverse(unsigned a) const;

    std::vector<std::uint16_t> exp_;
    std::vector<std::uint16_t> log_;
};

}  // namespace cv50::sim
