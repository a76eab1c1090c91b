// The BCH code that protects every ID Block sector: binary, over GF(2^13), correcting
// 8 bit errors, 104 parity bits over the 512 data bytes and the first 3 spare bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cv50::flash {

inline constexpr std::size_t kBchMessageBytes = 515;  // 512 data + spare bytes 0-2
inline constexpr std::size_t kBchParityBytes = 13;    // stored in spare bytes 3-15

// Field tables and generator of the code. Built by the constructor, once at the start
// of each ID Block or serial-number operation, and owned by that operation.
class BchCode {
public:
    BchCode();

    // The 13 parity bytes of one sector, in the order they are stored.
    [[nodiscard]] std::array<std::uint8_t, kBchParityBytes> parity(
        std::span<const std::uint8_t, kBchMessageBytes> message) const;

private:
    std::vector<std::uint16_t> power_;      // alpha^i
    std::vector<std::uint16_t> logarithm_;  // i for alpha^i
    // Generator coefficients g_k at bit k of the 104-bit feedback mask as bit 103 - k.
    std::uint64_t feedbackLow_ = 0;   // mask bits 0-63
    std::uint64_t feedbackHigh_ = 0;  // mask bits 64-103
};

}  // namespace cv50::flash
