// ID Block images as the simulated boot ROM judges them: what the engine writes must
// pass the device's own decoder, and damage must be repaired or refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/byte_order.h"
#include "engine/flash/id_block.h"
#include "engine/flash/scramble.h"
#include "engine/flash/tests/id_block_fixture.h"
#include "sim/boot_rom/idb_check.h"

namespace cv50::flash {

using base::storeLe16;

namespace {

using sim::IdBlockFault;
using testing::patternBytes;
using testing::sampleFields;

IdBlockImage encoded(const IdBlockFields& f) {
    IdBlockImage image;
    EXPECT_TRUE(MakeIDBlockData(f, image));
    MakeEccSpareData(BchCode(), image);
    return image;
}

// The copy as it lies in a block: its sectors, then the rest of the block erased.
std::vector<std::uint8_t> inBlock(const IdBlockImage& image, std::size_t blockSectors) {
    std::vector<std::uint8_t> block(blockSectors * kRawSectorBytes, 0xFF);
    std::copy(image.raw().begin(), image.raw().end(), block.begin());
    return block;
}

void flip(std::vector<std::uint8_t>& block, std::size_t sector, std::size_t bit) {
    block[sector * kRawSectorBytes + bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
}

TEST(IdBlockOnTheDevice, EngineImagesPassTheBootRomWithEveryField) {
    for (std::size_t bootBytes : {0, 1, 512, 513, 4000, 20000}) {
        IdBlockFields f = sampleFields(bootBytes);
        f.snData = patternBytes(500, 0x61);
        f.blockSectors = 64;
        const auto verdict = sim::checkIdBlockCopy(inBlock(encoded(f), f.blockSectors));
        ASSERT_TRUE(verdict.valid()) << bootBytes << ": " << verdict.describe();
        const sim::IdBlockCopy& c = verdict.copy;
        EXPECT_EQ(c.sectors, IdBlockSectorCount(bootBytes));
        EXPECT_EQ(c.correctedBits, 0u);
        EXPECT_EQ(c.bootCode, f.flashBoot);
        EXPECT_TRUE(std::equal(f.flashData.begin(), f.flashData.end(), c.flashData.begin()));
        EXPECT_EQ(c.loaderWords, f.loaderWords);
        EXPECT_EQ(c.diskSizesMB, f.diskSizesMB);
        EXPECT_EQ(c.tag, "CV50");
        EXPECT_EQ(c.firstFreeBlock, f.reserved2Last + 1);
        EXPECT_EQ(c.reservedRanges, (std::array{f.reserved1First, f.reserved1Last, f.reserved2First,
                                                f.reserved2Last}));
        EXPECT_EQ(c.idbBlocks, f.idbBlocks);
        EXPECT_EQ(c.chipSectors, f.chipSizeMB * 2048);
        EXPECT_EQ(c.blockSectors, f.blockKB * 2);
        EXPECT_EQ(c.pageSectors, f.pageKB * 2);
        EXPECT_EQ(c.geometryA, f.geometryA);
        EXPECT_EQ(c.geometryB, f.geometryB);
        EXPECT_EQ(c.chipInfo, f.chipInfo);
        EXPECT_EQ(c.serialNumber, f.snData);
        EXPECT_EQ(c.mac, f.mac);
    }
}

TEST(IdBlockOnTheDevice, EightFlippedBitsInASectorAreRepairedNineAreNot) {
    IdBlockFields f = sampleFields(1500);
    f.blockSectors = 16;
    const auto clean = inBlock(encoded(f), f.blockSectors);
    const auto expected = sim::checkIdBlockCopy(clean);
    ASSERT_TRUE(expected.valid());

    // Data bits, spare bytes 0 and 1 (bits 4096-4111) and parity bits. The marker byte
    // is left alone: the boot ROM recognises a copy by it before decoding anything.
    const std::size_t eight[] = {0, 1, 777, 2048, 4095, 4100, 4111, 4223};
    for (std::size_t sector : {0, 3, 7}) {
        auto block = clean;
        for (std::size_t bit : eight) flip(block, sector, bit);
        const auto repaired = sim::checkIdBlockCopy(block);
        ASSERT_TRUE(repaired.valid()) << sector << ": " << repaired.describe();
        EXPECT_EQ(repaired.copy.correctedBits, 8u);
        EXPECT_EQ(repaired.copy.bootCode, expected.copy.bootCode);
        EXPECT_EQ(repaired.copy.serialNumber, expected.copy.serialNumber);
        EXPECT_EQ(repaired.copy.loaderWords, expected.copy.loaderWords);

        flip(block, sector, 3000);
        const auto refused = sim::checkIdBlockCopy(block);
        EXPECT_EQ(refused.fault, IdBlockFault::Uncorrectable) << sector;
        EXPECT_EQ(refused.faultSector, sector);
    }

    auto marked = clean;
    flip(marked, 0, 4119);
    EXPECT_EQ(sim::checkIdBlockCopy(marked).fault, IdBlockFault::NoMarker);

    // Damage past the copy's last sector is no concern of the boot ROM.
    auto block = clean;
    for (std::size_t bit = 0; bit < 100; ++bit) flip(block, 8, bit);
    EXPECT_TRUE(sim::checkIdBlockCopy(block).valid());
}

// A field or spare byte put wrong, with parity made to match: only the format check
// can catch it.
TEST(IdBlockOnTheDevice, WrongFieldsAreRefused) {
    using Damage = void (*)(IdBlockImage & plain);
    const struct {
        const char* name;
        Damage damage;
        IdBlockFault fault;
    } cases[] = {
        {"signature", [](IdBlockImage& p) { p.data(0)[0] ^= 1; }, IdBlockFault::BadHeader},
        {"constant 4", [](IdBlockImage& p) { storeLe16(p.data(0), 0x00C, 5); },
         IdBlockFault::BadHeader},
        {"constant 18", [](IdBlockImage& p) { storeLe16(p.data(0), 0x00E, 0); },
         IdBlockFault::BadHeader},
        {"boot size past the block", [](IdBlockImage& p) { storeLe16(p.data(0), 0x1FC, 16 * 512); },
         IdBlockFault::BadBootSize},
        {"boot size below 512", [](IdBlockImage& p) { storeLe16(p.data(0), 0x1FC, 100); },
         IdBlockFault::BadBootSize},
        {"version field", [](IdBlockImage& p) { p.data(0)[0x024] ^= 0x40; },
         IdBlockFault::BadBootFields},
        {"chip info length", [](IdBlockImage& p) { storeLe16(p.data(2), 0, 15); },
         IdBlockFault::BadChipInfo},
    };
    for (const auto& c : cases) {
        IdBlockFields f = sampleFields(1500);
        f.blockSectors = 16;
        IdBlockImage image;
        ASSERT_TRUE(MakeIDBlockData(f, image));
        ScrambleIdBlock(image);
        c.damage(image);
        ScrambleIdBlock(image);
        MakeEccSpareData(BchCode(), image);
        EXPECT_EQ(sim::checkIdBlockCopy(inBlock(image, 16)).fault, c.fault) << c.name;
    }
}

TEST(IdBlockOnTheDevice, SpareMarkersAreChecked) {
    IdBlockFields f = sampleFields(100);
    f.blockSectors = 8;
    const BchCode bch;
    auto reencode = [&bch](IdBlockImage& image, std::size_t i) {
        const auto parity = bch.parity(image.sector(i).first<kBchMessageBytes>());
        std::copy(parity.begin(), parity.end(), image.spare(i).begin() + 3);
    };

    IdBlockImage image = encoded(f);
    image.spare(0)[2] = 0xFF;  // no marker, parity matching
    reencode(image, 0);
    EXPECT_EQ(sim::checkIdBlockCopy(inBlock(image, 8)).fault, IdBlockFault::NoMarker);

    image = encoded(f);
    image.spare(4)[2] = 0x69;  // a marker where none belongs
    reencode(image, 4);
    auto verdict = sim::checkIdBlockCopy(inBlock(image, 8));
    EXPECT_EQ(verdict.fault, IdBlockFault::BadSpare);
    EXPECT_EQ(verdict.faultSector, 4u);

    image = encoded(f);
    image.spare(2)[0] = 0x00;  // bad-block mark
    reencode(image, 2);
    verdict = sim::checkIdBlockCopy(inBlock(image, 8));
    EXPECT_EQ(verdict.fault, IdBlockFault::BadSpare);
    EXPECT_EQ(verdict.faultSector, 2u);

    // An image whose parity was never made is not a copy either.
    IdBlockImage bare;
    ASSERT_TRUE(MakeIDBlockData(f, bare));
    bare.spare(0)[2] = 0x69;
    EXPECT_EQ(sim::checkIdBlockCopy(inBlock(bare, 8)).fault, IdBlockFault::Uncorrectable);
}

}  // namespace
}  // namespace cv50::flash
