// Flash geometry from the loader's record, good-block search and the reserved-block plan.
#include "engine/flash/flash_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/flash/flash_device.h"

namespace cv50::flash {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FlashInfo, DecodedFromTheRecord) {
    // 128 MiB chips of 256-sector blocks and 4-sector pages, MICRON, chips 0 and 2.
    const Bytes raw = {0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 4, 0xA1, 0xB2, 4, 0x05, 9, 9, 9, 9, 9};
    FlashInfo info;
    EXPECT_EQ(info.blockSectors, 1u);
    ASSERT_TRUE(decodeFlashInfo(raw, info));
    EXPECT_EQ(info.sizeMB, 128u);
    EXPECT_EQ(info.blockKB, 128);
    EXPECT_EQ(info.pageKB, 2u);
    EXPECT_EQ(info.blockSectors, 256u);
    EXPECT_EQ(info.blockCount, 1024u);
    EXPECT_EQ(info.geometryA, 0xA1);
    EXPECT_EQ(info.geometryB, 0xB2);
    EXPECT_EQ(info.manufacturer, "MICRON");
    EXPECT_EQ(info.chipMask, 0x05);
    EXPECT_TRUE(info.blockMap.empty());

    // Sizes round down to whole megabytes; an unknown maker has no name.
    Bytes odd = raw;
    odd[0] = 0xFF;  // 0x400FF sectors
    odd[9] = 8;
    ASSERT_TRUE(decodeFlashInfo(odd, info));
    EXPECT_EQ(info.sizeMB, 128u);
    EXPECT_EQ(info.manufacturer, "");

    // A block size under 1 KB would divide the block count by zero: refused, unchanged.
    Bytes tiny = raw;
    tiny[4] = 1;
    tiny[5] = 0;
    tiny[10] = 0x01;
    EXPECT_FALSE(decodeFlashInfo(tiny, info));
    EXPECT_EQ(info.chipMask, 0x05);
}

TEST(FindGoodBlock, ScansForARunBelowTheLimit) {
    const Bytes map = {1, 1, 0, 0, 1, 0, 0, 0, 1, 0};
    struct Case {
        int limit, start, run, expected;
    } cases[] = {
        {10, 0, 1, 2},  {10, 3, 1, 3},   {10, 4, 1, 5},  {10, 0, 2, 2},
        {10, 0, 3, 5},  {10, 0, 4, -1},  {10, 8, 1, -1},  // block 9 ends the scan
        {8, 6, 1, 6},   {8, 7, 1, -1},   // limit - 1 is never returned
        {10, 0, 0, -1},
        {10, 10, 1, -1}, {10, 12, 1, -1}, {10, -1, 1, -1},
        {500, 9, 1, -1},  // the map's end limits the scan
    };
    for (const Case& k : cases)
        EXPECT_EQ(FindGoodBlock(map, k.limit, k.start, k.run), k.expected)
            << "limit " << k.limit << " start " << k.start << " run " << k.run;
}

struct Plan {
    int ok = 0;
    std::array<std::uint16_t, 5> idb{};
    std::uint16_t r1First = 0, r1Last = 0, r2First = 0, r2Last = 0;
};

Plan plan(const Bytes& map) {
    CFlashDevice device;
    device.flashInfo.blockMap = map;
    Plan p;
    p.ok = device.MakeSysReservedBlockAddr(p.idb, p.r1First, p.r1Last, p.r2First, p.r2Last);
    return p;
}

TEST(MakeSysReservedBlockAddr, PlansAroundBadBlocks) {
    Bytes map(1024, 0);
    const Plan clean = plan(map);
    ASSERT_EQ(clean.ok, 1);
    EXPECT_EQ(clean.idb, (std::array<std::uint16_t, 5>{0, 1, 2, 3, 4}));
    EXPECT_EQ(clean.r1First, 5);
    EXPECT_EQ(clean.r1Last, 9);
    EXPECT_EQ(clean.r2First, 10);
    EXPECT_EQ(clean.r2Last, 11);

    // Bad 0-4 push the copies to 5-9; bad 12 is skipped but lies within the first range.
    for (int b : {0, 1, 2, 3, 4, 12}) map[b] = 1;
    const Plan pushed = plan(map);
    ASSERT_EQ(pushed.ok, 1);
    EXPECT_EQ(pushed.idb, (std::array<std::uint16_t, 5>{5, 6, 7, 8, 9}));
    EXPECT_EQ(pushed.r1First, 10);
    EXPECT_EQ(pushed.r1Last, 15);
    EXPECT_EQ(pushed.r2First, 16);
    EXPECT_EQ(pushed.r2Last, 17);
}

TEST(MakeSysReservedBlockAddr, FailsWithoutEnoughGoodBlocks) {
    Bytes only199(1024, 1);
    only199[199] = 0;
    std::fill(only199.begin() + 200, only199.end(), 0);
    Bytes fourBelow200(1024, 1);
    for (int b : {10, 50, 90, 150}) fourBelow200[b] = 0;
    std::fill(fourBelow200.begin() + 199, fourBelow200.end(), 0);
    Bytes fewReserved(1024, 0);
    std::fill(fewReserved.begin() + 9, fewReserved.begin() + 512, 1);  // 0-8 good, 511 last
    fewReserved[511] = 0;
    Bytes smallChip(9, 0);  // 9 blocks: the last is never taken, so one short
    Bytes noMap;

    const Plan before = plan(Bytes(1024, 0));
    for (const Bytes* map : {&only199, &fourBelow200, &fewReserved, &smallChip, &noMap}) {
        Plan p = before;
        CFlashDevice device;
        device.flashInfo.blockMap = *map;
        EXPECT_EQ(device.MakeSysReservedBlockAddr(p.idb, p.r1First, p.r1Last, p.r2First, p.r2Last), 0);
        EXPECT_EQ(p.idb, before.idb);  // outputs untouched
        EXPECT_EQ(p.r2Last, before.r2Last);
    }
}

}  // namespace
}  // namespace cv50::flash
