// Known answers for the formats of the firmware files: MD5, the tail CRC, BCD and the
// loader head.
#include <gtest/gtest.h>

#include <string>

#include "engine/flash/boot_head.h"
#include "engine/flash/image_tail.h"
#include "engine/flash/md5.h"

namespace cv50::flash {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string md5Hex(const std::string& s) {
    Md5 md5;
    md5.update(bytesOf(s));
    return Md5::hex(md5.finish());
}

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite) EXPECT_EQ(md5Hex(text), digest) << '"' << text << '"';
}

TEST(Md5, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    std::string message;
    for (int i = 0; i < 3000; ++i) message += static_cast<char>(i * 7 + i / 13);
    const std::string whole = md5Hex(message);
    for (std::size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 1000u}) {
        Md5 md5;
        for (std::size_t at = 0; at < message.size(); at += piece)
            md5.update(bytesOf(message.substr(at, piece)));
        EXPECT_EQ(Md5::hex(md5.finish()), whole) << "pieces of " << piece;
    }
}

TEST(TailCrc, KnownAnswersOfTheMsbFirstTable) {
    EXPECT_EQ(tailCrc32(bytesOf("abc")), 0x3A06543Eu);
    EXPECT_EQ(tailCrc32({}), 0u);
    // One byte 0x01 is the table entry for 1: the generator itself.
    const std::uint8_t one = 1;
    EXPECT_EQ(tailCrc32(std::span(&one, 1)), 0x04C10DB7u);
}

TEST(TailBlock, BuiltBlockCarriesFieldsTagAndTheCrcOfItsFirst408Bytes) {
    const TailBlock block = buildTailBlock({0x01020304, 64, 16});
    EXPECT_TRUE(block.hasTag());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.bytes.data() + 500), 7), "TOOLVER");
    EXPECT_EQ(block.bytes[112], 0x04);
    EXPECT_EQ(block.bytes[115], 0x01);
    EXPECT_EQ(block.fields().systemDiskMB, 64u);
    EXPECT_EQ(block.fields().configDiskMB, 16u);
    EXPECT_EQ(block.storedCrc(), tailCrc32(std::span(block.bytes.data(), 408)));
    EXPECT_EQ(block.storedCrc(), block.computedCrc());

    TailBlock other = buildTailBlock({0x01020304, 64, 16}, "TOOLVEX");
    EXPECT_FALSE(other.hasTag());
    other = block;
    other.bytes[407] ^= 1;  // covered by the CRC
    EXPECT_NE(other.storedCrc(), other.computedCrc());
    other = block;
    other.bytes[409] ^= 1;  // the CRC's own bytes
    EXPECT_NE(other.storedCrc(), other.computedCrc());
}

TEST(Bcd, DecimalDigitsOnePerNibble) {
    EXPECT_EQ(toBcd(2008), 0x2008);
    EXPECT_EQ(toBcd(0), 0x0000);
    EXPECT_EQ(toBcd(9999), 0x9999);
    EXPECT_EQ(toBcd(12), 0x0012);
    EXPECT_EQ(toBcd(305), 0x0305);
}

TEST(BootHead, BuiltLoaderFileReadsBackAndPacksTheIdBlockWords) {
    LoaderSpec spec;
    spec.dates = {2008, 12, 20};
    spec.versionHigh = 1;
    spec.versionLow = 23;
    for (std::size_t i = 0; i < 4; ++i)
        spec.pieces[i].assign(100 * (i + 1), static_cast<std::uint8_t>(i + 1));
    const auto file = buildLoaderFile(spec);
    ASSERT_TRUE(file);
    const BootHead head = bootHeadFromBytes(*file);
    EXPECT_TRUE(head.signatureValid());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data())), kBootSignature);
    EXPECT_EQ(head.date(0), 2008);
    EXPECT_EQ(head.loaderVersionHigh(), 1u);
    const LoaderVersion v = loaderVersion(head);
    EXPECT_EQ(v.high, 0x0001);
    EXPECT_EQ(v.low, 0x0023);
    const auto words = idBlockWords(head);
    EXPECT_EQ(words[0], 0x2008);
    EXPECT_EQ(words[1], 0x1220);
    EXPECT_EQ(words[2], 0x0123);
    for (std::size_t i = 0; i < 4; ++i) {
        const PieceExtent e = head.extent(kHeadPieceOrder[i]);
        ASSERT_EQ(e.size, spec.pieces[i].size());
        ASSERT_LE(e.offset + e.size, file->size());
        EXPECT_EQ(
            std::vector<std::uint8_t>(file->begin() + e.offset, file->begin() + e.offset + e.size),
            spec.pieces[i]);
    }
    // The fields sit where the head's layout puts them.
    EXPECT_EQ((*file)[0x30] | (*file)[0x31] << 8, 2008);
    EXPECT_EQ((*file)[0x40], 23);
    EXPECT_EQ(head.extent(Piece::Prog2nd).size, (*file)[0x60] | (*file)[0x61] << 8);

    spec.pieces[3].assign(kMaxPieceSize + 1, 0);
    EXPECT_FALSE(buildLoaderFile(spec));
}

}  // namespace
}  // namespace cv50::flash
