// The boot ROM's first refusals, before any sector is decoded.
#include "sim/boot_rom/idb_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace cv50::sim {
namespace {

TEST(CheckIdBlockCopy, BlocksThatCannotBeACopyAreRefused) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> block;
        IdBlockFault fault;
    } cases[] = {
        {"erased block", std::vector<std::uint8_t>(64 * 528, 0xFF), IdBlockFault::NoMarker},
        {"partial sector", std::vector<std::uint8_t>(8 * 528 + 1, 0xFF),
         IdBlockFault::NotWholeSectors},
        {"four sectors", std::vector<std::uint8_t>(4 * 528, 0xFF), IdBlockFault::TooShort},
        {"empty", {}, IdBlockFault::TooShort},
    };
    for (const auto& c : cases) {
        const IdBlockVerdict v = checkIdBlockCopy(c.block);
        EXPECT_EQ(v.fault, c.fault) << c.name << ": " << v.describe();
        EXPECT_FALSE(v.valid());
    }
}

TEST(CheckIdBlockCopy, AMarkerOnAnErasedPageIsRepairedAwayAndRefused) {
    // 0x69 is four bit errors away from an erased page's 0xFF: the code repairs the
    // marker itself, and what is left is no copy.
    std::vector<std::uint8_t> block(8 * 528, 0xFF);
    block[512 + 2] = 0x69;
    const IdBlockVerdict v = checkIdBlockCopy(block);
    EXPECT_EQ(v.fault, IdBlockFault::BadSpare);
    EXPECT_EQ(v.faultSector, 0u);
}

}  // namespace
}  // namespace cv50::sim
