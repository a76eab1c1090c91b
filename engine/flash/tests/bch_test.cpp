// BCH parity of ID Block sectors.
#include "engine/flash/bch.h"

#include <gtest/gtest.h>

namespace cv50::flash {
namespace {

using Parity = std::array<std::uint8_t, kBchParityBytes>;

TEST(BchCode, KnownParities) {
    const struct {
        const char* name;
        std::uint8_t data;   // every one of the 512 data bytes
        std::uint8_t spare;  // spare bytes 0-2
        Parity parity;
    } cases[] = {
        {"erased sector", 0xFF, 0xFF,
         Parity{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"zero data", 0x00, 0xFF,
         Parity{0xC2, 0x81, 0x09, 0x46, 0x34, 0xC3, 0x6F, 0xF2, 0x75, 0x0F, 0x3B, 0xC9, 0x3F}},
    };
    const BchCode bch;
    for (const auto& c : cases) {
        std::array<std::uint8_t, kBchMessageBytes> message{};
        message.fill(c.data);
        message[512] = message[513] = message[514] = c.spare;
        EXPECT_EQ(bch.parity(message), c.parity) << c.name;
    }
}

TEST(BchCode, EveryMessageBitReachesTheParity) {
    // A bit the register dropped would leave its flip undetected.
    const BchCode bch;
    std::array<std::uint8_t, kBchMessageBytes> message{};
    const Parity base = bch.parity(message);
    for (std::size_t bit = 0; bit < message.size() * 8; ++bit) {
        message[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_NE(bch.parity(message), base) << "bit " << bit;
        message[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    }
}

}  // namespace
}  // namespace cv50::flash
