// The NAND model and the in-memory disk, and their state files.
#include "sim/nand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "sim/memory_disk.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

NandSpec twoChips() {
    NandSpec n;
    n.chipMask = 0x05;
    n.chipSectors = 32 * 16;
    n.blockSectors = 16;
    n.pageSectors = 4;
    n.badBlocks = {{0, 2}, {2, 7}};
    return n;
}

Bytes readSector(const Nand& nand, unsigned chip, std::uint32_t sector) {
    Bytes b(528);
    nand.read(chip, sector, b);
    return b;
}

TEST(Nand, ProgrammingOnlyClearsBitsUntilErased) {
    Nand nand(twoChips());
    EXPECT_EQ(readSector(nand, 2, 40), Bytes(528, 0xFF));
    Bytes first(528, 0xF0), second(528, 0x3C);
    nand.program(2, 40, first);
    EXPECT_EQ(readSector(nand, 2, 40), first);
    nand.program(2, 40, second);
    EXPECT_EQ(readSector(nand, 2, 40), Bytes(528, 0x30));
    EXPECT_EQ(readSector(nand, 0, 40), Bytes(528, 0xFF));  // the other chip is untouched
    nand.eraseBlock(2, 40 / 16);
    EXPECT_EQ(readSector(nand, 2, 40), Bytes(528, 0xFF));
}

// Power fails during one step, which is left half done; the flash then does nothing
// until its power is back, and fails only once.
TEST(Nand, PowerCutLeavesItsStepHalfDoneAndStopsTheFlash) {
    struct Case {
        const char* name;
        void (*cutStep)(Nand&);
        std::uint32_t erasedSectors;  // from the start of block 1
        bool halfProgrammed;          // the block's first sector
    } cases[] = {
        {"erase", [](Nand& n) { n.eraseBlock(0, 1); }, 8, false},  // two of its four pages
        {"program", [](Nand& n) { n.program(0, 16, Bytes(528, 0x00)); }, 0, true},
    };
    Bytes half(264, 0x00);
    half.resize(528, 0x0F);
    for (const Case& c : cases) {
        Nand nand(twoChips());
        for (std::uint32_t s = 16; s < 32; ++s) nand.program(0, s, Bytes(528, 0x0F));
        ASSERT_EQ(nand.steps(), 16u);
        nand.cutPowerAtStep(17);
        c.cutStep(nand);
        EXPECT_TRUE(nand.powerLost()) << c.name;
        std::vector<Bytes> expected;
        for (std::uint32_t s = 0; s < 16; ++s) {
            expected.push_back(s < c.erasedSectors          ? Bytes(528, 0xFF)
                               : s == 0 && c.halfProgrammed ? half
                                                            : Bytes(528, 0x0F));
            EXPECT_EQ(readSector(nand, 0, 16 + s), expected[s]) << c.name << " sector " << s;
        }

        // Without power nothing changes and nothing counts.
        nand.program(0, 50, Bytes(528, 0x00));
        nand.eraseBlock(0, 1);
        EXPECT_EQ(readSector(nand, 0, 50), Bytes(528, 0xFF)) << c.name;
        EXPECT_EQ(readSector(nand, 0, 31), expected[15]) << c.name;
        EXPECT_EQ(nand.steps(), 17u) << c.name;

        nand.restorePower();
        EXPECT_FALSE(nand.powerLost()) << c.name;
        nand.eraseBlock(0, 1);
        nand.program(0, 50, Bytes(528, 0x00));
        EXPECT_EQ(readSector(nand, 0, 31), Bytes(528, 0xFF)) << c.name;
        EXPECT_EQ(readSector(nand, 0, 50), Bytes(528, 0x00)) << c.name;
        EXPECT_EQ(nand.steps(), 19u) << c.name;
        EXPECT_FALSE(nand.powerLost()) << c.name;
    }
}

TEST(Nand, FactoryBadBlocksCarryTheirMarkerAndPhysicalSectorsSkipAbsentChips) {
    Nand nand(twoChips());
    EXPECT_TRUE(nand.factoryBad(2, 7));
    EXPECT_TRUE(nand.isBad(0, 2));
    EXPECT_FALSE(nand.isBad(0, 7));
    EXPECT_EQ(readSector(nand, 2, 7 * 16)[512], 0x00);
    EXPECT_EQ(readSector(nand, 2, 7 * 16 + 1)[512], 0xFF);

    unsigned chip = 9;
    std::uint32_t sector = 0;
    EXPECT_TRUE(nand.locate(2 * 512 + 5, chip, sector));
    EXPECT_EQ(chip, 2u);
    EXPECT_EQ(sector, 5u);
    EXPECT_FALSE(nand.locate(512 + 5, chip, sector));  // chip 1 is absent
    EXPECT_FALSE(nand.locate(3 * 512, chip, sector));
}

TEST(Nand, StateFileKeepsContentsAndGrownBadBlocks) {
    testing::TempFolder folder;
    const std::string path = folder.path() + "/player.nand";
    std::string error;
    {
        Nand nand(twoChips());
        nand.program(0, 100, Bytes(528, 0x12));
        nand.markGrownBad(2, 3);
        ASSERT_TRUE(nand.save(path, error)) << error;
    }
    Nand back(twoChips());
    ASSERT_TRUE(back.load(path, error)) << error;
    EXPECT_EQ(readSector(back, 0, 100), Bytes(528, 0x12));
    EXPECT_TRUE(back.isBad(2, 3));
    EXPECT_FALSE(back.isBad(2, 4));

    // Another geometry, a damaged file: refused, the flash as it was.
    NandSpec other = twoChips();
    other.blockSectors = 32;
    Nand different(other);
    EXPECT_FALSE(different.load(path, error));
    EXPECT_NE(error.find("another geometry"), std::string::npos) << error;

    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 100);
    EXPECT_FALSE(back.load(path, error));
    EXPECT_EQ(readSector(back, 0, 100), Bytes(528, 0x12));
    EXPECT_FALSE(back.load(folder.path() + "/missing.nand", error));
}

TEST(MemoryDisk, ReadsZeroUntilWrittenStaysInsideAndSurvivesAStateFile) {
    testing::TempFolder folder;
    const std::string path = folder.path() + "/player.disk";
    std::string error;
    MemoryDisk disk(1000);
    Bytes out(1024, 0xAA);
    ASSERT_TRUE(disk.read(998, out));
    EXPECT_EQ(out, Bytes(1024, 0));
    EXPECT_FALSE(disk.written());
    ASSERT_TRUE(disk.write(998, Bytes(1024, 0x77)));
    EXPECT_FALSE(disk.write(999, Bytes(1024, 0x66)));  // the second sector is beyond the disk
    Bytes part(100);
    EXPECT_FALSE(disk.read(0, part));  // not whole sectors
    ASSERT_TRUE(disk.save(path, error)) << error;
    ASSERT_TRUE(disk.save(path, error)) << error;  // over an existing file

    MemoryDisk back(1000);
    ASSERT_TRUE(back.load(path, error)) << error;
    ASSERT_TRUE(back.read(998, out));
    EXPECT_EQ(out, Bytes(1024, 0x77));
    MemoryDisk smaller(999);
    EXPECT_FALSE(smaller.load(path, error));
}

}  // namespace
}  // namespace cv50::sim
