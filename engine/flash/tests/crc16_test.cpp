// The boot-download checksum.
#include "engine/flash/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cv50::flash {
namespace {

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Crc16CcittFalse, KnownAnswers) {
    const struct {
        std::vector<std::uint8_t> data;
        std::uint16_t crc;
    } cases[] = {
        {bytes("123456789"), 0x29B1},
        {{}, 0xFFFF},  // nothing fed: the initial value
        {bytes("A"), 0xB915},
        {std::vector<std::uint8_t>(512, 0x00), 0x1634},
        {std::vector<std::uint8_t>(512, 0xFF), 0x6995},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Crc16CcittFalse(c.data), c.crc) << "length " << c.data.size();
    }
}

}  // namespace
}  // namespace cv50::flash
