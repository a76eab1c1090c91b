// The updater's values that need no player: version texts, the partition vector and the disk
// sizes, the result table, the busy bar, the settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "apps/updater/core/busy_blocks.h"
#include "apps/updater/core/partition.h"
#include "apps/updater/core/results.h"
#include "apps/updater/core/settings.h"
#include "apps/updater/core/version_text.h"
#include "base/host.h"
#include "base/unicode.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::updater {
namespace {

using base::utf16FromUtf8;

TEST(VersionText, PrintsEachGroupOfFourBitsInDecimalWithoutLeadingZeroGroups) {
    struct Case {
        std::uint16_t major, minor;
        const char16_t* expected;
    };
    for (const Case& c : std::vector<Case>{{1, 0x20, u"1.20"},
                                           {2, 5, u"2.5"},
                                           {0, 0, u"0.00"},
                                           {0x0102, 0x0003, u"102.3"},
                                           {0x1000, 0x0100, u"1000.100"},
                                           {0x000A, 0x00F0, u"10.150"}}) {
        EXPECT_EQ(loaderVersionText(c.major, c.minor), c.expected) << c.major << "." << c.minor;
    }
    for (const Case& c : std::vector<Case>{{0x0102, 0x0034, u"1.2.34"},
                                           {0, 0, u"0.0.00"},
                                           {0x0100, 0x0000, u"1.0.00"},
                                           {0x1234, 0x5678, u"12.34.5678"},
                                           {0x0020, 0x0900, u"0.20.900"}}) {
        EXPECT_EQ(softwareVersionText(c.major, c.minor), c.expected) << c.major << "." << c.minor;
    }
}

TEST(Partition, ImageSizeFirstThenUpToThreeNumbersOfTheSetting) {
    struct Case {
        std::uint32_t imageMB;
        const char16_t* setting;
        PartitionVector expected;
    };
    for (const Case& c :
         std::vector<Case>{{12, u"", {12, 0, 0, 0}},
                           {12, u"16", {12, 16, 0, 0}},
                           {12, u"1:2:3:4", {12, 1, 2, 3}},
                           {12, u"5::7", {12, 5, 0, 7}},
                           {12, u" 12x:abc", {12, 12, 0, 0}},
                           {12, u"-5:8", {12, 0, 8, 0}},
                           // Never wrapped into a smaller size.
                           {70000, u"65536:99999999999", {65535, 65535, 65535, 0}}}) {
        EXPECT_EQ(partitionVector(c.imageMB, c.setting), c.expected)
            << base::utf8FromUtf16(c.setting);
    }
}

TEST(Partition, SizesComeFromTheSizeRecordWhenTheImageHasOne) {
    const PartitionVector p = partitionVector(12, u"8:100");
    // X the image's system disk, Y the larger configuration disk.
    EXPECT_EQ(diskSizes(p, true, 64, 16).systemMB, 64u);
    EXPECT_EQ(diskSizes(p, true, 64, 16).configMB, 16u);
    EXPECT_EQ(diskSizes(partitionVector(12, u"20"), true, 64, 16).configMB, 20u);
    // Without: the image size and the first number.
    EXPECT_EQ(diskSizes(p, false, 0, 0).systemMB, 12u);
    EXPECT_EQ(diskSizes(p, false, 0, 0).configMB, 8u);
}

TEST(Results, EveryCodeHasItsMessageAndOnlySomeTheAdvice) {
    struct Case {
        int code, key;
        bool suffix;
    };
    const std::vector<Case> cases = {
        {-1, 111, true},   {-2, 112, true},   {-3, 113, false},  {-4, 114, true},  {-5, 115, true},
        {-6, 116, true},   {-7, 101, true},   {-8, 117, true},   {-9, 118, true},  {-10, 119, true},
        {-11, 121, false}, {-12, 122, false}, {-13, 123, false}, {-14, 124, true}, {-15, 101, true},
        {1, 101, true},    {-1000, 101, true}};
    for (const Case& c : cases) {
        for (Command command : {Command::Upgrade, Command::Repair}) {
            const ResultMessage m = resultMessage(command, c.code);
            EXPECT_EQ(m.key, c.key) << c.code;
            EXPECT_EQ(m.suffix, c.suffix) << c.code;
        }
    }
    EXPECT_EQ(resultMessage(Command::Upgrade, 0).key, 21);
    EXPECT_EQ(resultMessage(Command::Repair, 0).key, 20);
    EXPECT_FALSE(resultMessage(Command::Repair, 0).suffix);

    const std::vector<std::pair<int, int>> upgrade = {{0, 0},   {-1, -4}, {-2, -5}, {-3, -6},
                                                      {-4, -3}, {-5, -7}, {7, -7}};
    for (const auto& [code, result] : upgrade) EXPECT_EQ(resultOfUpgrade(code), result) << code;
}

TEST(BusyBlocks, TheLitBlockRunsToTheEndAndBackAndNeverLeavesTheBar) {
    BusyBlocks bar(12);
    std::vector<int> seen{bar.active()};
    for (int i = 0; i < 30; ++i) {
        bar.advance();
        seen.push_back(bar.active());
    }
    const std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 10, 9, 8, 7,
                                       6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4,  5,  6,  7, 8};
    EXPECT_EQ(seen, expected);

    // One block, or a bar made shorter under the lit block, keeps it on the bar.
    BusyBlocks one(1);
    for (int i = 0; i < 3; ++i) one.advance();
    EXPECT_EQ(one.active(), 0);
    BusyBlocks shrunk(12);
    for (int i = 0; i < 11; ++i) shrunk.advance();
    shrunk.setCount(4);
    EXPECT_EQ(shrunk.active(), 3);
    for (int i = 0; i < 10; ++i) {
        shrunk.advance();
        EXPECT_GE(shrunk.active(), 0);
        EXPECT_LT(shrunk.active(), 4);
    }
    shrunk.reset();
    EXPECT_EQ(shrunk.active(), 0);
    shrunk.advance();
    EXPECT_EQ(shrunk.active(), 1);
}

TEST(BusyBlocks, BlocksFillTheWidthWithTheirGapsAndProgressFillsItsShare) {
    const std::vector<BlockPaint> busy = busyLayout(100, 12, 1, 11);
    ASSERT_EQ(busy.size(), 12u);
    EXPECT_EQ(busy.front().left, 0);
    EXPECT_EQ(busy.back().right, 99);  // 11 * 8.33 + 7.33, the gap after it left over
    for (std::size_t i = 0; i < busy.size(); ++i) {
        EXPECT_LT(busy[i].left, busy[i].right);
        if (i > 0) {
            EXPECT_GE(busy[i].left, busy[i - 1].right + 1) << i;
        }
        EXPECT_EQ(busy[i].state, i == 11 ? BlockState::Active : BlockState::Normal);
    }
    EXPECT_EQ(busyLayout(100, 12, 1, 12)[11].state, BlockState::Normal);

    const std::vector<BlockPaint> half = progressLayout(100, 10, 0, 0, 55, 100);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(half[i].state, BlockState::Filled) << i;
    EXPECT_EQ(half[5].state, BlockState::PartlyFilled);
    EXPECT_EQ(half[5].fillRight, half[5].left + 4);  // half of 10 pixels, less the inset
    for (int i = 6; i < 10; ++i) EXPECT_EQ(half[i].state, BlockState::Normal) << i;
    // No range: nothing is filled, nothing is divided by it.
    for (const BlockPaint& b : progressLayout(100, 10, 0, 0, 55, 0))
        EXPECT_EQ(b.state, BlockState::Normal);
}

class SettingsFile : public ::testing::Test {
protected:
    std::u16string write(const std::string& text) {
        std::ofstream(folder.path() + "/setting.ini", std::ios::binary) << text;
        return file();
    }
    std::u16string file() const { return settingsFile(utf16FromUtf8(folder.path() + "\\")); }

    sim::testing::ScopedSim world{R"({"controllers": []})"};
    sim::testing::TempFolder folder;
};

TEST_F(SettingsFile, AMissingFileIsCreatedEmptyAndEveryKeyTakesItsDefault) {
    const std::optional<Settings> s = LoadSettings(file());
    ASSERT_TRUE(s);
    EXPECT_TRUE(std::filesystem::exists(folder.path() + "/setting.ini"));
    EXPECT_EQ(std::filesystem::file_size(folder.path() + "/setting.ini"), 0u);
    EXPECT_EQ(s->appTitle, u"CV50 Device Manager");
    EXPECT_EQ(s->language, u"English");
    EXPECT_EQ(s->imageExtension, u"IMG");
    EXPECT_EQ(s->corvUsbName, u"Corv USB");
    EXPECT_EQ(s->corvMscName, u"CV50 SDK");
    // No numbers: no player is ever found until the file names them.
    EXPECT_EQ(s->corvUsbVid, 0);
    EXPECT_EQ(s->corvMscPid, 0);
    EXPECT_FALSE(s->printLog);
    EXPECT_FALSE(s->supportUsb11);
    EXPECT_TRUE(s->firmware.empty());
    EXPECT_FALSE(EraseIdbRequested(file()));
}

TEST_F(SettingsFile, TheShippedSampleNamesThePlayersAndKeepsTheOtherDefaults) {
    std::filesystem::copy_file(CV50_SAMPLES_DIR "/CV50DeviceManager/setting.ini",
                               folder.path() + "/setting.ini");
    const std::optional<Settings> s = LoadSettings(file());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->corvUsbVid, 0x071B);
    EXPECT_EQ(s->corvUsbPid, 0x3201);
    EXPECT_EQ(s->corvMscVid, 0x071B);
    EXPECT_EQ(s->corvMscPid, 0x3203);
    EXPECT_EQ(s->corvUsbName, u"Corv USB");
    EXPECT_EQ(s->diskVolume, u"PLAYER");
    EXPECT_EQ(s->appTitle, u"CV50 Device Manager");
    EXPECT_EQ(s->language, u"English");
    EXPECT_EQ(s->imageExtension, u"IMG");
    EXPECT_TRUE(s->firmware.empty());
    EXPECT_TRUE(s->partition.empty());
    EXPECT_FALSE(s->printLog);
    EXPECT_FALSE(EraseIdbRequested(file()));
}

TEST_F(SettingsFile, ValuesAreReadAndEmptyOnesKeepTheirDefaults) {
    write(
        "[DEVICE_ID]\nVID=0x071B\nPID=3201\nNAME=Loader\n[MSC_ID]\nVID=071b\nPID=12G4\n"
        "NAME=\n[DEBUG]\nPRINT_LOG=1\n[SYSTEM]\nSUPPORTUSB11=2\nFIRMWARE=C:\\fw\\a.img\n"
        "PARTITION=16:100\nDISK_VOLUME=PLAYER\nHOMEPAGE=http://example.com/\n"
        "IMAGE_EXT_NAME=bin\nAPPTITLE=\nLANGUAGE=\xE7\xAE\x80\xE4\xBD\x93\nERASE_IDB=1\n");
    const std::optional<Settings> s = LoadSettings(file());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->corvUsbVid, 0x071B);
    EXPECT_EQ(s->corvUsbPid, 0x3201);
    EXPECT_EQ(s->corvMscVid, 0x071B);
    EXPECT_EQ(s->corvMscPid, 0x12);
    EXPECT_EQ(s->corvUsbName, u"Loader");
    EXPECT_EQ(s->corvMscName, u"CV50 SDK");
    EXPECT_TRUE(s->printLog);
    EXPECT_FALSE(s->supportUsb11);  // only exactly 1 is on
    EXPECT_EQ(s->firmware, u"C:\\fw\\a.img");
    EXPECT_EQ(s->partition, u"16:100");
    EXPECT_EQ(s->diskVolume, u"PLAYER");
    EXPECT_EQ(s->homepage, u"http://example.com/");
    EXPECT_EQ(s->imageExtension, u"bin");
    EXPECT_EQ(s->appTitle, u"CV50 Device Manager");
    EXPECT_EQ(s->language, u"\u7B80\u4F53");
    EXPECT_TRUE(EraseIdbRequested(file()));
    write("[SYSTEM]\nERASE_IDB=2\n");
    EXPECT_FALSE(EraseIdbRequested(file()));
}

TEST_F(SettingsFile, AFileThatCannotBeCreatedIsTheFatalCase) {
    const std::u16string nowhere = utf16FromUtf8(folder.path() + "/missing/setting.ini");
    EXPECT_FALSE(LoadSettings(nowhere));
    EXPECT_FALSE(EraseIdbRequested(nowhere));
}

}  // namespace
}  // namespace cv50::updater
