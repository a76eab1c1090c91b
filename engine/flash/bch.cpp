// BCH parity of ID Block sectors.
#include "engine/flash/bch.h"

#include <cassert>

namespace cv50::flash {
namespace {

constexpr unsigned kFieldBits = 13;
constexpr unsigned kFieldOrder = (1u << kFieldBits) - 1;  // 8191 non-zero elements
// x^13 + x^10 + x^8 + x^7 + x^5 + x^3 + x^2 + x + 1
constexpr unsigned kPrimitivePolynomial = 0x25AF;
constexpr unsigned kCorrectable = 8;
constexpr unsigned kParityBits = 104;

// The register value of a message of all one bits: XORing it in makes an erased
// sector (all 0xFF) its own valid code word.
constexpr std::uint64_t kOffsetLow = 0x348393D2AD6273B1ull;
constexpr std::uint64_t kOffsetHigh = 0xC8E6EBED3Cull;
constexpr std::uint64_t kHighMask = (1ull << (kParityBits - 64)) - 1;

}  // namespace

BchCode::BchCode() : power_(kFieldOrder), logarithm_(kFieldOrder + 1) {
    unsigned element = 1;
    for (unsigned i = 0; i < kFieldOrder; ++i) {
        power_[i] = static_cast<std::uint16_t>(element);
        logarithm_[element] = static_cast<std::uint16_t>(i);
        element <<= 1;
        if (element & (1u << kFieldBits)) element ^= kPrimitivePolynomial;
    }

    // Roots of g: alpha^1..alpha^16 and all their conjugates (cyclotomic cosets).
    std::vector<bool> isRoot(kFieldOrder, false);
    for (unsigned i = 1; i <= 2 * kCorrectable; ++i) {
        unsigned c = i;
        do {
            isRoot[c] = true;
            c = (2 * c) % kFieldOrder;
        } while (c != i);
    }

    // g(x) = product of (x + alpha^r); coefficients over GF(2^13), lowest degree first.
    auto multiply = [this](unsigned a, unsigned b) -> unsigned {
        if (a == 0 || b == 0) return 0;
        return power_[(logarithm_[a] + logarithm_[b]) % kFieldOrder];
    };
    std::vector<unsigned> g{1};
    for (unsigned r = 0; r < kFieldOrder; ++r) {
        if (!isRoot[r]) continue;
        std::vector<unsigned> next(g.size() + 1, 0);
        for (std::size_t k = 0; k < g.size(); ++k) {
            next[k + 1] ^= g[k];
            next[k] ^= multiply(g[k], power_[r]);
        }
        g = std::move(next);
    }
    assert(g.size() == kParityBits + 1);

    for (unsigned k = 0; k < kParityBits; ++k) {
        assert(g[k] <= 1);  // a product over whole cosets has binary coefficients
        const unsigned bit = kParityBits - 1 - k;
        if (g[k] == 0) continue;
        if (bit < 64) {
            feedbackLow_ |= 1ull << bit;
        } else {
            feedbackHigh_ |= 1ull << (bit - 64);
        }
    }
}

std::array<std::uint8_t, kBchParityBytes> BchCode::parity(
    std::span<const std::uint8_t, kBchMessageBytes> message) const {
    std::uint64_t low = 0, high = 0;
    for (std::uint8_t byte : message) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            const bool feedback = ((byte >> bit) ^ low) & 1;
            low = (low >> 1) | ((high & 1) << 63);
            high >>= 1;
            if (feedback) {
                low ^= feedbackLow_;
                high ^= feedbackHigh_;
            }
        }
    }
    low = ~(low ^ kOffsetLow);
    high = ~(high ^ kOffsetHigh) & kHighMask;

    std::array<std::uint8_t, kBchParityBytes> out{};
    for (unsigned j = 0; j < kBchParityBytes; ++j) {
        out[j] = static_cast<std::uint8_t>(j < 8 ? low >> (8 * j) : high >> (8 * (j - 8)));
    }
    return out;
}

}  // namespace cv50::flash
