// The boot ROM's BCH decoder, on code words known from the format's own examples.
#include "sim/boot_rom/bch_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace cv50::sim {
namespace {

using RawSector = std::array<std::uint8_t, kRawSectorBytes>;

RawSector erasedSector() {
    RawSector s;
    s.fill(0xFF);
    return s;
}

// 512 zero bytes, spare bytes 0-2 = 0xFF, and the parity the format gives for them.
RawSector zeroSector() {
    RawSector s{};
    const std::uint8_t tail[16] = {0xFF, 0xFF, 0xFF, 0xC2, 0x81, 0x09, 0x46, 0x34,
                                   0xC3, 0x6F, 0xF2, 0x75, 0x0F, 0x3B, 0xC9, 0x3F};
    std::copy(std::begin(tail), std::end(tail), s.begin() + 512);
    return s;
}

void flip(RawSector& s, std::size_t bit) {
    s[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
}

TEST(BchDecoder, KnownCodeWordsAreClean) {
    const BchDecoder bch;
    for (RawSector s : {erasedSector(), zeroSector()}) {
        const RawSector before = s;
        EXPECT_EQ(bch.correct(s), 0u);
        EXPECT_EQ(s, before);
    }
}

TEST(BchDecoder, CorrectsUpToEightBitsAnywhereInTheSector) {
    // Bits 0-4095 are data, 4096-4119 spare bytes 0-2, 4120-4223 parity.
    const std::vector<std::vector<std::size_t>> patterns = {
        {4223},
        {0, 4119},
        {5, 6, 7},                                         // neighbours in one byte
        {4096, 4104, 4112, 4120},                          // spare bytes 0-3
        {1, 1000, 2000, 3000, 4000, 4101, 4150, 4222},     // spread over all three parts
        {4120, 4130, 4140, 4150, 4160, 4170, 4180, 4190},  // parity only
        {8, 9, 10, 11, 12, 13, 14, 15},                    // one whole byte
    };
    const BchDecoder bch;
    for (const RawSector& good : {erasedSector(), zeroSector()}) {
        for (const auto& bits : patterns) {
            RawSector s = good;
            for (std::size_t b : bits) flip(s, b);
            EXPECT_EQ(bch.correct(s), bits.size()) << "first bit " << bits.front();
            EXPECT_EQ(s, good) << "first bit " << bits.front();
        }
    }
}

TEST(BchDecoder, RefusesNineOrMoreAndLeavesTheSectorAlone) {
    const std::vector<std::vector<std::size_t>> patterns = {
        {1, 1000, 2000, 3000, 4000, 4101, 4150, 4222, 17},
        {8, 9, 10, 11, 12, 13, 14, 15, 16},
        {4120, 4130, 4140, 4150, 4160, 4170, 4180, 4190, 4200},
        {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100},
    };
    const BchDecoder bch;
    for (const RawSector& good : {erasedSector(), zeroSector()}) {
        for (const auto& bits : patterns) {
            RawSector s = good;
            for (std::size_t b : bits) flip(s, b);
            const RawSector damaged = s;
            EXPECT_EQ(bch.correct(s), std::nullopt) << bits.size() << " bits from " << bits.front();
            EXPECT_EQ(s, damaged);
        }
    }
    // The zero sector with an erased page's parity is far from any code word.
    RawSector s = zeroSector();
    std::fill(s.begin() + 515, s.end(), 0xFF);
    EXPECT_EQ(bch.correct(s), std::nullopt);
}

}  // namespace
}  // namespace cv50::sim
