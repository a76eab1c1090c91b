// The simulated mask ROM's download protocol.
#include "sim/mask_rom.h"

#include <gtest/gtest.h>

#include <string>

namespace cv50::sim {
namespace {

// Sends a file the way the protocol wants: full packets, then the tail with the checksum
// (high byte first), and an empty or 1-byte packet when the tail fills a packet.
bool sendFile(MaskRom& rom, std::uint32_t code, std::vector<std::uint8_t> file, bool corrupt = false) {
    std::uint16_t crc = romCrc16(file);
    if (corrupt) crc ^= 1;
    file.push_back(static_cast<std::uint8_t>(crc >> 8));
    file.push_back(static_cast<std::uint8_t>(crc));
    std::size_t at = 0;
    for (;;) {
        const std::size_t n = std::min(MaskRom::kPacket, file.size() - at);
        if (rom.request(code, std::span(file.data() + at, n)) != static_cast<long long>(n)) return false;
        at += n;
        if (n < MaskRom::kPacket) return true;
        if (at == file.size()) return rom.request(code, {}) == 0;
    }
}

TEST(MaskRom, Crc16KnownAnswer) {
    const std::string text = "123456789";
    EXPECT_EQ(romCrc16(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
              0x29B1);
    EXPECT_EQ(romCrc16({}), 0xFFFF);
}

TEST(MaskRom, BootsAfterThreeFilesOfEverySizeShape) {
    for (std::size_t size : {0u, 1u, 4094u, 4095u, 4096u, 8192u, 4096u * 2 + 4094u, 65536u}) {
        MaskRom rom;
        std::vector<std::uint8_t> file(size);
        for (std::size_t i = 0; i < size; ++i) file[i] = static_cast<std::uint8_t>(i * 7);
        EXPECT_TRUE(sendFile(rom, MaskRom::kDataRequest, file)) << size;
        EXPECT_TRUE(sendFile(rom, MaskRom::kProgRequest, file)) << size;
        EXPECT_FALSE(rom.booted());
        EXPECT_TRUE(sendFile(rom, MaskRom::kProgRequest, file)) << size;
        EXPECT_TRUE(rom.booted()) << size;
        EXPECT_EQ(rom.refusedFiles(), 0);
    }
}

TEST(MaskRom, RefusesABadChecksumAWrongCodeAndOversizedBuffers) {
    MaskRom rom;
    const std::vector<std::uint8_t> file(100, 0x5A);
    EXPECT_FALSE(sendFile(rom, MaskRom::kProgRequest, file));  // data.bin comes first
    EXPECT_FALSE(sendFile(rom, MaskRom::kDataRequest, file, true));
    EXPECT_EQ(rom.refusedFiles(), 2);
    EXPECT_TRUE(sendFile(rom, MaskRom::kDataRequest, file));  // a good retry is taken
    std::vector<std::uint8_t> big(MaskRom::kPacket + 1);
    EXPECT_EQ(rom.request(MaskRom::kProgRequest, big), -1);
    EXPECT_EQ(rom.request(0x8000A008, std::span(big.data(), 10)), -1);
    EXPECT_FALSE(rom.booted());
}

TEST(MaskRom, AFileLongerThanTheLargestProgramIsRefusedNotBuffered) {
    MaskRom rom;
    EXPECT_FALSE(sendFile(rom, MaskRom::kDataRequest, std::vector<std::uint8_t>(65537, 1)));
    // A host that sends full packets without end is cut off at the limit.
    const std::vector<std::uint8_t> packet(MaskRom::kPacket, 2);
    long long taken = 0;
    int packets = 0;
    while (packets < 1000 && (taken = rom.request(MaskRom::kDataRequest, packet)) > 0) ++packets;
    EXPECT_EQ(taken, -1);
    EXPECT_EQ(packets, int((MaskRom::kMaxFile) / MaskRom::kPacket));
    EXPECT_EQ(rom.refusedFiles(), 2);
    // Still in step: the largest program is taken.
    EXPECT_TRUE(sendFile(rom, MaskRom::kDataRequest, std::vector<std::uint8_t>(65536, 3)));
}

}  // namespace
}  // namespace cv50::sim
