// The wire protocol's blocks, byte for byte as the library header documents them.
#include "cvusbcomm/wire.h"

#include <gtest/gtest.h>

#include <vector>

namespace cv50::cvusb {
namespace {

TEST(Wire, CommandBlockLayout) {
    Command c;
    c.opcode = Opcode::EraseBlock;
    c.tag = 0x11223344;
    c.params = {2, 0x00010203, 300, 11};
    c.dataLength = 0x0A0B0C0D;
    const auto b = encodeCommand(c);
    const std::vector<std::uint8_t> expected = {
        'C', 'V', 'U', 'C', 0x44, 0x33, 0x22, 0x11, 0x04, 0, 0, 0,
        2, 0, 0, 0,          0x03, 0x02, 0x01, 0x00, 0x2C, 0x01, 0, 0, 11, 0, 0, 0,
        0x0D, 0x0C, 0x0B, 0x0A};
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.end()), expected);

    const auto back = decodeCommand(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->opcode, c.opcode);
    EXPECT_EQ(back->tag, c.tag);
    EXPECT_EQ(back->params, c.params);
    EXPECT_EQ(back->dataLength, c.dataLength);
}

TEST(Wire, DecodeRefusesWhatIsNotACommandBlock) {
    Command c;
    c.opcode = Opcode::ReadLBA;
    const auto good = encodeCommand(c);
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    } cases[] = {
        {"signature", 0, 'X'}, {"opcode 0", 8, 0x00}, {"opcode past the last", 8, 0x0D},
        {"padding", 9, 1},     {"padding", 11, 1},
    };
    for (const Case& k : cases) {
        auto b = good;
        b[k.at] = k.value;
        EXPECT_FALSE(decodeCommand(b)) << k.what;
    }
    EXPECT_FALSE(decodeCommand(std::span(good).first(31)));
}

TEST(Wire, StatusBlockRoundTripKeepsNegativeResults) {
    const auto b = encodeStatus({7, -7, 64});
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "CVUS");
    EXPECT_EQ(b[8], 0xF9);
    EXPECT_EQ(b[11], 0xFF);
    const auto s = decodeStatus(b);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->tag, 7u);
    EXPECT_EQ(s->result, -7);
    EXPECT_EQ(s->dataLength, 64u);
    auto bad = b;
    bad[3] = 'C';
    EXPECT_FALSE(decodeStatus(bad));
}

TEST(Wire, DataPhaseOfEachOpcode) {
    struct Case {
        Opcode op;
        std::uint32_t count;
        Direction dir;
        std::optional<std::uint32_t> length;
    } cases[] = {
        {Opcode::ReadFlashInfo, 0, Direction::In, 16},
        {Opcode::ReadChipInfo, 0, Direction::In, 16},
        {Opcode::TestBadBlock, 512, Direction::In, 64},
        {Opcode::EraseBlock, 300, Direction::None, 0},
        {Opcode::ReadSector, 20, Direction::In, 20 * 528},
        {Opcode::WriteSector, 3, Direction::Out, 3 * 528},
        {Opcode::ReadLBA, 32, Direction::In, 32 * 512},
        {Opcode::WriteLBA, 1, Direction::Out, 512},
        {Opcode::WriteLBA, 0x00800000, Direction::Out, std::nullopt},  // 4 GiB: does not fit
        {Opcode::EraseSystemDisk, 0, Direction::None, 0},
        {Opcode::TestUnitReady, 0, Direction::In, 8},
        {Opcode::SetResetFlag, 0, Direction::None, 0},
        {Opcode::ResetDevice, 0, Direction::None, 0},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(dataDirection(k.op), k.dir) << opcodeName(k.op);
        EXPECT_EQ(expectedDataLength(k.op, {0, k.count, 0, 0}), k.length) << opcodeName(k.op);
    }
}

TEST(Wire, CommandNamesRoundTrip) {
    for (std::uint8_t i = kFirstOpcode; i <= kLastOpcode; ++i) {
        const auto op = static_cast<Opcode>(i);
        EXPECT_EQ(opcodeFromName(opcodeName(op)), op);
    }
    EXPECT_FALSE(opcodeFromName("readlba"));
    EXPECT_FALSE(opcodeFromName("?"));
}

}  // namespace
}  // namespace cv50::cvusb
