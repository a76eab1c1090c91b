// Syndromes, Berlekamp-Massey and Chien search for ID Block sectors.
//
// How the stored bits map onto a code word: take the 528 bytes as one bit stream,
// bytes in order, each byte least significant bit first, and invert every bit (an
// erased sector is a valid code word). Bit p of that stream is the coefficient of
// x^(4223 - p); the stream is a code word when alpha^1..alpha^16 are roots of it.
#include "sim/boot_rom/bch_decoder.h"

#include <array>
#include <bit>

namespace cv50::sim {
namespace {

constexpr unsigned kOrder = 8191;         // non-zero elements of GF(2^13)
constexpr unsigned kPolynomial = 0x25AF;  // x^13+x^10+x^8+x^7+x^5+x^3+x^2+x+1
constexpr unsigned kT = 8;                // correctable bits
constexpr unsigned kBits = kRawSectorBytes * 8;

// alpha^(j * degree) of every bit p (degree kBits-1-p) for the odd j, row by row: built
// once, as every reset of every player checks its ID Block copies sector by sector.
const std::vector<std::uint16_t>& bitPowers(const std::vector<std::uint16_t>& exp) {
    static const std::vector<std::uint16_t> table = [&] {
        std::vector<std::uint16_t> t(kBits * kT);
        for (unsigned p = 0; p < kBits; ++p)
            for (unsigned i = 0; i < kT; ++i)
                t[p * kT + i] = exp[((2 * i + 1) * (kBits - 1 - p)) % kOrder];
        return t;
    }();
    return table;
}

}  // namespace

BchDecoder::BchDecoder() : exp_(2 * kOrder), log_(kOrder + 1) {
    unsigned x = 1;
    for (unsigned i = 0; i < kOrder; ++i) {
        exp_[i] = exp_[i + kOrder] = static_cast<std::uint16_t>(x);
        log_[x] = static_cast<std::uint16_t>(i);
        x <<= 1;
        if (x > kOrder) x ^= kPolynomial;
    }
}

unsigned BchDecoder::multiply(unsigned a, unsigned b) const {
    if (a == 0 || b == 0) return 0;
    return exp_[log_[a] + log_[b]];
}

unsigned BchDecoder::inverse(unsigned a) const { return exp_[(kOrder - log_[a]) % kOrder]; }

std::optional<unsigned> BchDecoder::correct(std::span<std::uint8_t, kRawSectorBytes> sector) const {
    // Syndromes S_1..S_2t of the inverted stream; S_2j = S_j^2 for a binary code.
    std::array<unsigned, 2 * kT + 1> syndrome{};
    const std::vector<std::uint16_t>& powers = bitPowers(exp_);
    for (unsigned byte = 0; byte < kRawSectorBytes; ++byte) {
        unsigned ones = ~sector[byte] & 0xFFu;  // of the inverted stream
        while (ones != 0) {
            const unsigned p = byte * 8 + static_cast<unsigned>(std::countr_zero(ones));
            ones &= ones - 1;
            const std::uint16_t* row = &powers[p * kT];
            for (unsigned i = 0; i < kT; ++i) syndrome[2 * i + 1] ^= row[i];
        }
    }
    bool clean = true;
    for (unsigned j = 1; j <= 2 * kT; j += 2) clean = clean && syndrome[j] == 0;
    if (clean) return 0u;
    for (unsigned j = 2; j <= 2 * kT; j += 2) {
        syndrome[j] = multiply(syndrome[j / 2], syndrome[j / 2]);
    }

    // Berlekamp-Massey: the shortest error locator Lambda(x) that generates the syndromes.
    std::array<unsigned, 2 * kT + 2> lambda{1}, previous{1};
    unsigned length = 0, shift = 1, lastDiscrepancy = 1;
    for (unsigned n = 0; n < 2 * kT; ++n) {
        unsigned d = syndrome[n + 1];
        for (unsigned i = 1; i <= length; ++i) d ^= multiply(lambda[i], syndrome[n + 1 - i]);
        if (d == 0) {
            ++shift;
            continue;
        }
        const unsigned factor = multiply(d, inverse(lastDiscrepancy));
        auto saved = lambda;
        for (std::size_t i = 0; i + shift < lambda.size(); ++i) {
            lambda[i + shift] ^= multiply(factor, previous[i]);
        }
        if (2 * length <= n) {
            length = n + 1 - length;
            previous = saved;
            lastDiscrepancy = d;
            shift = 1;
        } else {
            ++shift;
        }
    }
    if (length > kT) return std::nullopt;
    for (std::size_t i = length + 1; i < lambda.size(); ++i) {
        if (lambda[i] != 0) return std::nullopt;
    }

    // Chien search over the degrees this shortened code uses: an error at degree e
    // makes alpha^-e a root of Lambda.
    std::vector<unsigned> errorBits;
    for (unsigned degree = 0; degree < kBits && errorBits.size() <= length; ++degree) {
        const unsigned x = exp_[(kOrder - degree % kOrder) % kOrder];
        unsigned value = 0, power = 1;
        for (unsigned i = 0; i <= length; ++i) {
            value ^= multiply(lambda[i], power);
            power = multiply(power, x);
        }
        if (value == 0) errorBits.push_back(kBits - 1 - degree);
    }
    if (errorBits.size() != length) return std::nullopt;

    for (unsigned p : errorBits) sector[p / 8] ^= static_cast<std::uint8_t>(1u << (p % 8));
    return length;
}

}  // namespace cv50::sim
