// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds, little-endian words.
#include "engine/flash/md5.h"

#include <bit>
#include <cstring>

namespace cv50::flash {
namespace {

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline std::uint32_t rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// One step of each round; the auxiliary functions in their cheaper equivalent forms.
template <int S>
inline void ff(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m,
               std::uint32_t t) {
    a = b + rotl(a + (d ^ (b & (c ^ d))) + m + t, S);
}
template <int S>
inline void gg(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m,
               std::uint32_t t) {
    a = b + rotl(a + (c ^ (d & (b ^ c))) + m + t, S);
}
template <int S>
inline void hh(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m,
               std::uint32_t t) {
    a = b + rotl(a + (b ^ c ^ d) + m + t, S);
}
template <int S>
inline void ii(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m,
               std::uint32_t t) {
    a = b + rotl(a + (c ^ (b | ~d)) + m + t, S);
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::block(const std::uint8_t* p) {
    std::uint32_t m[16];
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(m, p, sizeof m);
    } else {
        for (int i = 0; i < 16; ++i)
            m[i] = std::uint32_t(p[4 * i]) | std::uint32_t(p[4 * i + 1]) << 8 |
                   std::uint32_t(p[4 * i + 2]) << 16 | std::uint32_t(p[4 * i + 3]) << 24;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    const std::uint32_t* k = kSine;
    // Written out step by step: the check of a large image spends its time here.
#pragma GCC unroll 4
    for (int i = 0; i < 16; i += 4, k += 4) {
        ff<7>(a, b, c, d, m[i], k[0]);
        ff<12>(d, a, b, c, m[i + 1], k[1]);
        ff<17>(c, d, a, b, m[i + 2], k[2]);
        ff<22>(b, c, d, a, m[i + 3], k[3]);
    }
#pragma GCC unroll 4
    for (int i = 0; i < 16; i += 4, k += 4) {
        gg<5>(a, b, c, d, m[(5 * i + 1) % 16], k[0]);
        gg<9>(d, a, b, c, m[(5 * i + 6) % 16], k[1]);
        gg<14>(c, d, a, b, m[(5 * i + 11) % 16], k[2]);
        gg<20>(b, c, d, a, m[(5 * i) % 16], k[3]);
    }
#pragma GCC unroll 4
    for (int i = 0; i < 16; i += 4, k += 4) {
        hh<4>(a, b, c, d, m[(3 * i + 5) % 16], k[0]);
        hh<11>(d, a, b, c, m[(3 * i + 8) % 16], k[1]);
        hh<16>(c, d, a, b, m[(3 * i + 11) % 16], k[2]);
        hh<23>(b, c, d, a, m[(3 * i + 14) % 16], k[3]);
    }
#pragma GCC unroll 4
    for (int i = 0; i < 16; i += 4, k += 4) {
        ii<6>(a, b, c, d, m[(7 * i) % 16], k[0]);
        ii<10>(d, a, b, c, m[(7 * i + 7) % 16], k[1]);
        ii<15>(c, d, a, b, m[(7 * i + 14) % 16], k[2]);
        ii<21>(b, c, d, a, m[(7 * i + 5) % 16], k[3]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::update(std::span<const std::uint8_t> data) {
    if (data.empty()) return;
    length_ += data.size();
    std::size_t i = 0;
    if (buffered_ > 0) {
        const std::size_t take = std::min(data.size(), sizeof buffer_ - buffered_);
        std::memcpy(buffer_ + buffered_, data.data(), take);
        buffered_ += take;
        i = take;
        if (buffered_ < sizeof buffer_) return;
        block(buffer_);
        buffered_ = 0;
    }
    for (; i + 64 <= data.size(); i += 64) block(data.data() + i);
    if (i < data.size()) {
        std::memcpy(buffer_, data.data() + i, data.size() - i);
        buffered_ = data.size() - i;
    }
}

Md5::Digest Md5::finish() {
    const std::uint64_t bits = length_ * 8;
    std::uint8_t pad[72] = {0x80};
    const std::size_t padLength = (buffered_ < 56 ? 56 : 120) - buffered_;
    for (int i = 0; i < 8; ++i) pad[padLength + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    update(std::span(pad, padLength + 8));
    Digest out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (8 * j));
    return out;
}

std::string Md5::hex(const Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(32);
    for (std::uint8_t b : digest) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

}  // namespace cv50::flash
