// Building ID Block images and reading their fields back.
#include "engine/flash/id_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/byte_order.h"
#include "engine/device/log.h"
#include "engine/flash/id_block_read.h"
#include "engine/flash/scramble.h"
#include "engine/flash/tests/id_block_fixture.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::flash {

using base::loadLe16;
using base::loadLe32;
using base::storeLe16;

namespace {

using testing::patternBytes;
using testing::sampleFields;

IdBlockImage build(const IdBlockFields& f) {
    IdBlockImage image;
    EXPECT_TRUE(MakeIDBlockData(f, image));
    return image;
}

IdBlockImage unscrambled(IdBlockImage image) {
    ScrambleIdBlock(image);
    return image;
}

using Sector = std::array<std::uint8_t, kSectorDataBytes>;

Sector sectorOf(const IdBlockImage& image, std::size_t i) {
    Sector s{};
    std::copy_n(image.data(i).begin(), s.size(), s.begin());
    return s;
}

void put(std::span<std::uint8_t> s, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), s.begin() + at);
}

TEST(MakeIDBlockData, SectorCountFollowsTheBootFileSize) {
    const struct {
        std::size_t bootBytes, sectors;
        std::uint16_t recordedSize;  // sector 0 at 0x1FC
    } cases[] = {{0, 5, 512}, {1, 6, 513}, {512, 6, 1024}, {513, 7, 1025}, {4000, 13, 4512}};
    for (const auto& c : cases) {
        const IdBlockImage image = unscrambled(build(sampleFields(c.bootBytes)));
        EXPECT_EQ(image.sectorCount(), c.sectors) << c.bootBytes;
        EXPECT_EQ(IdBlockSectorCount(c.bootBytes), c.sectors);
        EXPECT_EQ(loadLe16(image.data(0), 0x1FC), c.recordedSize) << c.bootBytes;
    }
}

// Every sector byte for byte, from the field tables: also pins every unlisted byte to 0.
TEST(MakeIDBlockData, SectorsHoldTheFieldsAtTheirOffsets) {
    IdBlockFields f = sampleFields(700);
    f.flashBoot[21] = 12, f.flashBoot[22] = 34;    // 0x004 = 1234
    f.flashBoot[23] = 1, f.flashBoot[24] = 2;      // 0x006 = 102
    f.flashBoot[25] = 0, f.flashBoot[26] = 99;     // 0x024 = 99
    f.flashBoot[27] = 255, f.flashBoot[28] = 255;  // 0x008 = 25755
    f.flashBoot[29] = 3, f.flashBoot[30] = 0;      // 0x00A = 300
    const IdBlockImage image = unscrambled(build(f));
    ASSERT_EQ(image.sectorCount(), 7u);

    Sector s0{};
    put(s0, 0x000, {0x55, 0xAA, 0xF0, 0x0F});
    put(s0, 0x004, {0xD2, 0x04});
    put(s0, 0x006, {0x66, 0x00});
    put(s0, 0x008, {0x9B, 0x64});
    put(s0, 0x00A, {0x2C, 0x01});
    put(s0, 0x00C, {4, 0});
    put(s0, 0x00E, {18, 0});
    put(s0, 0x024, {99, 0});
    put(s0, 0x1FC, {0xBC, 0x04});  // 700 + 512
    EXPECT_EQ(sectorOf(image, 0), s0);

    Sector s1{};
    put(s1, 0x000, {18, 0});  // reserved2Last + 1
    put(s1, 0x002, {60, 0, 0x2C, 0x01, 0, 0, 7, 0});
    put(s1, 0x00A, {'C', 'V', '5', '0'});
    put(s1, 0x012, {0x24, 0x20, 0x11, 0x06, 0x03, 0x02});
    put(s1, 0x1E4, {0x00, 0x00, 0x20, 0x00});  // 1024 MB in sectors
    put(s1, 0x1E9, {0x3E, 0x00, 0x01, 4, 0x5C});
    put(s1, 0x1EE, {10, 0, 14, 0, 15, 0, 17, 0});
    put(s1, 0x1F6, {0, 0, 1, 0, 2, 0, 3, 0, 5, 0});
    EXPECT_EQ(sectorOf(image, 1), s1);

    Sector s2{};
    put(s2, 0x000, {16, 0});
    std::copy(f.chipInfo.begin(), f.chipInfo.end(), s2.begin() + 2);
    EXPECT_EQ(sectorOf(image, 2), s2);

    Sector s3{};
    put(s3, 0x000, {21, 0});
    std::copy(f.snData.begin(), f.snData.end(), s3.begin() + 2);
    put(s3, 0x1F6, {'M', 'A', 'C', 6, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    EXPECT_EQ(sectorOf(image, 3), s3);

    Sector s4{};
    std::copy(f.flashData.begin(), f.flashData.end(), s4.begin());
    EXPECT_EQ(sectorOf(image, 4), s4);

    Sector s5{}, s6{};
    std::copy_n(f.flashBoot.begin(), 512, s5.begin());
    std::copy(f.flashBoot.begin() + 512, f.flashBoot.end(), s6.begin());
    EXPECT_EQ(sectorOf(image, 5), s5);
    EXPECT_EQ(sectorOf(image, 6), s6);

    for (std::size_t i = 0; i < image.sectorCount(); ++i) {
        EXPECT_TRUE(std::all_of(image.spare(i).begin(), image.spare(i).end(),
                                [](std::uint8_t b) { return b == 0xFF; }))
            << "spare of sector " << i << " before MakeEccSpareData";
    }
}

TEST(MakeIDBlockData, OnlySectorsZeroTwoAndThreeAreScrambled) {
    const IdBlockFields f = sampleFields();
    const IdBlockImage scrambled = build(f);
    const IdBlockImage plain = unscrambled(scrambled);
    for (std::size_t i = 0; i < plain.sectorCount(); ++i) {
        const bool differs =
            !std::equal(plain.data(i).begin(), plain.data(i).end(), scrambled.data(i).begin());
        EXPECT_EQ(differs, i == 0 || i == 2 || i == 3) << "sector " << i;
    }
    // The key stream restarts for every sector: two equal plain sectors scramble alike.
    IdBlockImage twins(4);
    ScrambleIdBlock(twins);
    EXPECT_TRUE(std::equal(twins.data(2).begin(), twins.data(2).end(), twins.data(3).begin()));
    EXPECT_TRUE(std::equal(twins.data(0).begin(), twins.data(0).end(), twins.data(2).begin()));
}

TEST(ScrambleSector, TwiceIsIdentity) {
    for (const auto& original : {patternBytes(512, 0x00), std::vector<std::uint8_t>(512, 0),
                                 std::vector<std::uint8_t>(512, 0xFF)}) {
        std::vector<std::uint8_t> s = original;
        ScrambleSector(std::span<std::uint8_t, kSectorDataBytes>(s.data(), s.size()));
        EXPECT_NE(s, original);
        ScrambleSector(std::span<std::uint8_t, kSectorDataBytes>(s.data(), s.size()));
        EXPECT_EQ(s, original);
    }
}

TEST(MakeIDBlockData, SerialNumberLengthRules) {
    const struct {
        std::size_t length;
        std::uint16_t stored;  // the length field
    } cases[] = {{0, 0}, {1, 1}, {500, 500}, {501, 0}};
    for (const auto& c : cases) {
        IdBlockFields f = sampleFields();
        f.snData = patternBytes(c.length, 0x77);
        const IdBlockImage image = unscrambled(build(f));
        const SerialNumberRecord sn = ReadSerialNumber(image.data(3));
        EXPECT_EQ(sn.storedLength, c.stored) << c.length;
        EXPECT_EQ(sn.snData.size(), c.stored) << c.length;
        if (c.stored == 0) {  // nothing of the number written
            EXPECT_TRUE(std::all_of(image.data(3).begin(), image.data(3).begin() + 0x1F6,
                                    [](std::uint8_t b) { return b == 0; }));
        }
    }
}

TEST(IdBlockReadBack, SerialNumberMacAndLayoutSurviveABuild) {
    IdBlockFields f = sampleFields();
    f.snData = patternBytes(500, 0x01);
    f.mac = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54};
    const IdBlockImage image = unscrambled(build(f));

    const SerialNumberRecord sn = ReadSerialNumber(image.data(3));
    EXPECT_EQ(sn.snData, f.snData);
    EXPECT_TRUE(sn.hasMac);
    EXPECT_EQ(sn.mac, f.mac);

    const IdBlockLayout layout = ReadIdBlockLayout(image.data(1));
    EXPECT_TRUE(layout.knownTag());
    EXPECT_EQ(layout.firstFreeBlock, f.reserved2Last + 1);
    EXPECT_EQ(layout.loaderWords, f.loaderWords);
    EXPECT_EQ(layout.diskSizesMB, f.diskSizesMB);
    EXPECT_EQ(layout.idbBlocks, f.idbBlocks);
    EXPECT_EQ((std::array{layout.reserved1First, layout.reserved1Last, layout.reserved2First,
                          layout.reserved2Last}),
              (std::array{f.reserved1First, f.reserved1Last, f.reserved2First, f.reserved2Last}));

    EXPECT_EQ(StoredIdBlockSectors(image.data(0), f.blockSectors), image.sectorCount());

    f.hasMac = false;
    EXPECT_FALSE(ReadSerialNumber(unscrambled(build(f)).data(3)).hasMac);
}

TEST(IdBlockReadBack, UntrustedLengthsAreBounded) {
    Sector s{};
    storeLe16(s, 0x000, 501);  // a serial number longer than the sector can carry
    const SerialNumberRecord sn = ReadSerialNumber(s);
    EXPECT_EQ(sn.storedLength, 501);
    EXPECT_TRUE(sn.snData.empty());
    s[0x1F6] = 'M', s[0x1F7] = 'A', s[0x1F8] = 'C', s[0x1F9] = 5;  // wrong MAC length
    EXPECT_FALSE(ReadSerialNumber(s).hasMac);

    const struct {
        std::uint16_t recorded;
        std::uint32_t blockSectors;
        std::optional<std::size_t> sectors;
    } cases[] = {{512, 5, 5},
                 {1025, 7, 7},
                 {1025, 6, std::nullopt},
                 {0, 64, std::nullopt},
                 {511, 64, std::nullopt}};
    for (const auto& c : cases) {
        storeLe16(s, 0x1FC, c.recorded);
        EXPECT_EQ(StoredIdBlockSectors(s, c.blockSectors), c.sectors) << c.recorded;
    }
}

TEST(RefreshIDBSectors, RebuildsOneToThreeAndScramblesOnceFromThePlainImage) {
    IdBlockFields f = sampleFields();
    IdBlockImage plain = unscrambled(build(f));

    f.snData = patternBytes(9, 0x90);
    f.loaderWords = {1, 2, 3};
    f.chipInfo.fill(0x5A);
    const IdBlockImage first = RefreshIDBSectors(f, plain);
    const IdBlockImage second = RefreshIDBSectors(f, plain);  // a retry
    EXPECT_EQ(first, second);

    const IdBlockImage back = unscrambled(first);
    EXPECT_EQ(sectorOf(back, 0), sectorOf(plain, 0));
    EXPECT_EQ(ReadSerialNumber(back.data(3)).snData, f.snData);
    EXPECT_EQ(ReadIdBlockLayout(back.data(1)).loaderWords, f.loaderWords);
    EXPECT_EQ(back.data(2)[2], 0x5A);
    for (std::size_t i = 4; i < plain.sectorCount(); ++i) {
        EXPECT_EQ(sectorOf(back, i), sectorOf(plain, i)) << i;
    }
    EXPECT_EQ(build(f), first);  // the same as a fresh build from the same fields
}

TEST(PutBootFiles, ReplacesTheFilesAndKeepsTheRestOfSectorZero) {
    IdBlockFields f = sampleFields(3000);
    IdBlockImage plain = unscrambled(build(f));
    put(plain.data(0), 0x100, {0xEE});  // a byte of the device's

    f.flashBoot = patternBytes(600, 0x09);
    f.flashData = patternBytes(12, 0x33);
    ASSERT_TRUE(PutBootFiles(f, plain));
    EXPECT_EQ(plain.sectorCount(), 7u);
    EXPECT_EQ(loadLe16(plain.data(0), 0x1FC), 600 + 512);
    EXPECT_EQ(loadLe16(plain.data(0), 0x004), f.flashBoot[21] * 100 + f.flashBoot[22]);
    EXPECT_EQ(loadLe32(plain.data(0), 0x000), 0x0FF0AA55u);
    EXPECT_EQ(plain.data(0)[0x100], 0xEE);
    EXPECT_TRUE(std::equal(f.flashData.begin(), f.flashData.end(), plain.data(4).begin()));
    EXPECT_TRUE(std::all_of(plain.data(4).begin() + 12, plain.data(4).end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(f.flashBoot.begin() + 512, f.flashBoot.end(), plain.data(6).begin()));
    EXPECT_TRUE(std::all_of(plain.data(6).begin() + 88, plain.data(6).end(),
                            [](std::uint8_t b) { return b == 0; }));  // no old boot code left
}

TEST(MakeEccSpareData, MarksSectorZeroAndCoversTheMarkerWithParity) {
    IdBlockImage image = build(sampleFields());
    const BchCode bch;
    MakeEccSpareData(bch, image);
    for (std::size_t i = 0; i < image.sectorCount(); ++i) {
        const auto spare = image.spare(i);
        EXPECT_EQ(spare[0], 0xFF);
        EXPECT_EQ(spare[1], 0xFF);
        EXPECT_EQ(spare[2], i == 0 ? 0x69 : 0xFF) << i;
        const auto parity = bch.parity(image.sector(i).first<kBchMessageBytes>());
        EXPECT_TRUE(std::equal(parity.begin(), parity.end(), spare.begin() + 3)) << i;
    }
}

// --- Refusals, with their log lines ---

class IdBlockLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log::setFolder(folder.path().c_str())); }
    void TearDown() override { log::disable(); }
    std::string logText() const {
        std::string all;
        for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
            all += sim::testing::readTextFile(e.path());
        }
        return all;
    }

    sim::testing::ScopedSim world{sim::testing::ScenarioBuilder()};
    sim::testing::TempFolder folder;
};

TEST_F(IdBlockLogTest, OversizedInputIsRefusedBeforeAnythingIsBuilt) {
    const struct {
        const char* name;
        std::size_t flashData, flashBoot;
        std::uint32_t blockSectors;
        const char* line;
    } cases[] = {
        {"FlashData of 513 bytes", 513, 100, 256,
         "ERROR:FlashData file too large,Size(513),Max(512)"},
        {"image one sector over the block", 512, 513, 6,
         "ERROR:ID Block larger than a block,Sectors(7),BlockSectors(6)"},
        {"geometry not read yet", 10, 0, 1,
         "ERROR:ID Block larger than a block,Sectors(5),BlockSectors(1)"},
        {"boot size beyond its 16-bit field", 10, 65024, 1024,
         "ERROR:FlashBoot file too large,Size(65024),Max(65023)"},
    };
    for (const auto& c : cases) {
        IdBlockFields f = sampleFields(c.flashBoot);
        f.flashData = patternBytes(c.flashData, 1);
        f.blockSectors = c.blockSectors;
        IdBlockImage image(3);
        EXPECT_FALSE(MakeIDBlockData(f, image)) << c.name;
        EXPECT_EQ(image.sectorCount(), 0u) << c.name;

        IdBlockImage plain(9);
        const IdBlockImage before = plain;
        EXPECT_FALSE(PutBootFiles(f, plain)) << c.name;
        EXPECT_EQ(plain, before) << c.name;
        EXPECT_NE(logText().find(std::string("\t") + c.line + "\r\n"), std::string::npos) << c.name;
    }
}

TEST_F(IdBlockLogTest, LimitsThemselvesAreAccepted) {
    IdBlockFields f = sampleFields(65023);
    f.flashData = patternBytes(512, 1);
    f.blockSectors = static_cast<std::uint32_t>(IdBlockSectorCount(65023));
    IdBlockImage image;
    ASSERT_TRUE(MakeIDBlockData(f, image));
    EXPECT_EQ(loadLe16(unscrambled(image).data(0), 0x1FC), 0xFFFF);
    const BchCode bch;
    MakeEccSpareData(bch, image);
    const std::string log = logText();
    EXPECT_NE(log.find("\tINFO:MakeIDBlockData start\r\n"), std::string::npos);
    EXPECT_NE(log.find("\tINFO:MakeEccSpareData start\r\n"), std::string::npos);
    EXPECT_EQ(log.find("ERROR"), std::string::npos);
}

}  // namespace
}  // namespace cv50::flash
