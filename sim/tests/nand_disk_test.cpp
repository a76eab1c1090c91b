// The loader's logical disk on the NAND: where its sectors lie, what rewriting costs, and
// what erasing the NAND does to it.
#include "sim/nand_disk.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/testing/scoped_sim.h"

namespace cv50::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBlockSectors = 16;

// Two chips (0 and 1) of 64 blocks of 16 sectors, pages of 4; blocks 10 and 1:3 bad.
NandSpec twoChips() {
    NandSpec n;
    n.chipMask = 0x03;
    n.chipSectors = 64 * kBlockSectors;
    n.blockSectors = kBlockSectors;
    n.pageSectors = 4;
    n.badBlocks = {{0, 10}, {1, 3}};
    return n;
}

DiskLayout layoutFrom(std::uint32_t firstBlock, std::array<std::uint16_t, 4> sizes = {}) {
    return DiskLayout{firstBlock, sizes, 0x0123};
}

// `sectors` sectors of the pattern.
Bytes pattern(std::size_t sectors, std::uint8_t seed) {
    return testing::patternBytes(sectors * 512, seed);
}

Bytes rawData(const Nand& nand, unsigned chip, std::uint32_t sector) {
    Bytes raw(528);
    nand.read(chip, sector, raw);
    return Bytes(raw.begin(), raw.begin() + 512);
}

TEST(NandDisk, SectorsLieInTheGoodBlocksBehindTheFirstFreeBlockAcrossChips) {
    Nand nand(twoChips());
    NandDisk disk(nand);
    EXPECT_EQ(disk.sectors(), 0u);
    NandWork work;
    Bytes one(512);
    EXPECT_FALSE(disk.read(0, one, work));  // no layout, no disk

    disk.setLayout(layoutFrom(8));
    // Chip 0: blocks 8-63 less 10 (55); chip 1: 64 less 3 (63).
    EXPECT_EQ(disk.sectors(), (55u + 63u) * kBlockSectors);
    struct Case {
        std::uint64_t lba;
        unsigned chip;
        std::uint32_t rawSector;
    };
    const Case cases[] = {
        {0, 0, 8 * kBlockSectors},
        {2 * kBlockSectors + 5, 0, 11 * kBlockSectors + 5},  // block 10 skipped
        {55 * kBlockSectors, 1, 0},                          // on to chip 1
        {58 * kBlockSectors + 1, 1, 4 * kBlockSectors + 1},  // its block 3 skipped
    };
    for (const Case& c : cases) {
        const Bytes data = pattern(1, static_cast<std::uint8_t>(c.lba));
        ASSERT_TRUE(disk.write(c.lba, data, work)) << c.lba;
        EXPECT_EQ(rawData(nand, c.chip, c.rawSector), data) << c.lba;
        Bytes back(512);
        ASSERT_TRUE(disk.read(c.lba, back, work));
        EXPECT_EQ(back, data) << c.lba;
    }
    Bytes two(1024);
    EXPECT_FALSE(disk.read(disk.sectors() - 1, two, work));
    EXPECT_FALSE(disk.write(disk.sectors(), pattern(1, 0), work));
}

TEST(NandDisk, SystemFurtherAndUserDisksFollowTheLayout) {
    NandSpec big;  // 1024 blocks of 256 sectors
    Nand nand(big);
    NandDisk disk(nand);
    disk.setLayout(layoutFrom(12, {10, 3, 0, 2}));
    const std::uint64_t all = (1024u - 12u) * 256u;
    EXPECT_EQ(disk.systemDisk().first, 0u);
    EXPECT_EQ(disk.systemDisk().count, 10u * 2048u);
    EXPECT_EQ(disk.userDisk().first, 15u * 2048u);
    EXPECT_EQ(disk.userDisk().count, all - 15u * 2048u);

    // Sizes beyond the flash leave no user disk and a system disk as large as there is room.
    disk.setLayout(layoutFrom(12, {200, 0, 0, 0}));
    EXPECT_EQ(disk.systemDisk().count, all);
    EXPECT_EQ(disk.userDisk().count, 0u);
}

TEST(NandDisk, RewritingASectorRewritesItsBlockAndKeepsTheOthers) {
    Nand nand(twoChips());
    NandDisk disk(nand);
    disk.setLayout(layoutFrom(8));
    const Bytes first = pattern(2 * kBlockSectors, 1);

    // Onto erased flash: pages programmed straight, nothing erased or read.
    NandWork work;
    ASSERT_TRUE(disk.write(0, first, work));
    EXPECT_EQ(work.pagesProgrammed, 8u);
    EXPECT_EQ(work.blocksErased, 0u);
    EXPECT_EQ(work.pagesRead, 0u);

    // Sector 5 again: its block is read, erased and programmed again.
    const Bytes second = pattern(1, 200);
    work = {};
    ASSERT_TRUE(disk.write(5, second, work));
    EXPECT_EQ(work.blocksErased, 1u);
    EXPECT_EQ(work.pagesRead, 4u);
    EXPECT_EQ(work.pagesProgrammed, 4u);
    Bytes expected = first;
    std::copy(second.begin(), second.end(), expected.begin() + 5 * 512);
    Bytes back(first.size());
    ASSERT_TRUE(disk.read(0, back, work));
    EXPECT_EQ(back, expected);  // not the AND of old and new

    // A block holding erased sectors keeps them erased: a later write there goes straight.
    ASSERT_TRUE(disk.write(2 * kBlockSectors, pattern(2, 9), work));
    ASSERT_TRUE(disk.write(2 * kBlockSectors, pattern(1, 7), work));
    work = {};
    ASSERT_TRUE(disk.write(2 * kBlockSectors + 8, pattern(1, 8), work));
    EXPECT_EQ(work.blocksErased, 0u);
    EXPECT_EQ(work.pagesProgrammed, 1u);
}

TEST(NandDisk, ErasingTheNandOrTheSystemDiskLosesWhatItHeld) {
    NandSpec n = twoChips();
    n.chipMask = 0x01;
    n.chipSectors = 512 * kBlockSectors;  // 4 MiB: a system disk of 1 MiB is 128 blocks
    Nand nand(n);
    NandDisk disk(nand);
    disk.setLayout(layoutFrom(8, {1, 0, 0, 0}));
    NandWork work;
    const std::uint64_t behind = disk.systemDisk().count;  // first sector of the user disk
    ASSERT_TRUE(disk.write(0, pattern(1, 1), work));
    ASSERT_TRUE(disk.write(behind, pattern(1, 2), work));

    disk.eraseSystemDisk(work);
    EXPECT_EQ(work.blocksErased, 128u);
    Bytes back(512);
    ASSERT_TRUE(disk.read(0, back, work));
    EXPECT_EQ(back, Bytes(512, 0xFF));
    ASSERT_TRUE(disk.read(behind, back, work));
    EXPECT_EQ(back, pattern(1, 2));

    // The user disk's first sector lies in block 8 + 128 + 1 (block 10 is bad).
    nand.eraseBlock(0, 137);
    ASSERT_TRUE(disk.read(behind, back, work));
    EXPECT_EQ(back, Bytes(512, 0xFF));
}

TEST(NandDisk, PartsAreDevicesOfTheirOwnAndTheLayoutIsKeptInAStateFile) {
    testing::TempFolder folder;
    const std::string path = folder.file("player.layout");
    std::string error;
    Nand nand(twoChips());
    NandDisk disk(nand);
    NandDiskPart user(disk, &NandDisk::userDisk);
    EXPECT_EQ(user.sectorCount(), 0u);
    ASSERT_TRUE(disk.saveLayout(path, error)) << error;  // none yet

    disk.setLayout(layoutFrom(8));
    ASSERT_TRUE(disk.saveLayout(path, error)) << error;
    EXPECT_EQ(user.sectorCount(), disk.sectors());
    const Bytes data = pattern(3, 4);
    ASSERT_TRUE(user.write(user.sectorCount() - 3, data));
    EXPECT_FALSE(user.write(user.sectorCount() - 2, data));

    NandDisk again(nand);
    ASSERT_TRUE(again.loadLayout(path, error)) << error;
    EXPECT_EQ(again.layout(), disk.layout());
    NandDiskPart userAgain(again, &NandDisk::userDisk);
    Bytes back(data.size());
    ASSERT_TRUE(userAgain.read(userAgain.sectorCount() - 3, back));
    EXPECT_EQ(back, data);

    NandDisk blank(nand);
    const std::string none = folder.file("none.layout");
    ASSERT_TRUE(blank.saveLayout(none, error)) << error;
    ASSERT_TRUE(again.loadLayout(none, error)) << error;
    EXPECT_FALSE(again.layout());
    testing::writeTextFile(path, "CV50LAYT");
    EXPECT_FALSE(again.loadLayout(path, error));
}

}  // namespace
}  // namespace cv50::sim
