// Writing ID Blocks onto simulated loader players: what the engine writes must be found
// by the player's boot ROM, survive updates and failing blocks, and bad input must be
// refused before the flash is touched.
#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "engine/flash/tests/idb_write_fixture.h"
#include "engine/flash/user_prompt.h"

namespace cv50::flash {
namespace {

using testing::Faults;
using testing::IdbWriteFixture;
using testing::kSmallNand;
using testing::loaderPlayer;
using testing::Nand;
using testing::patternBytes;
using testing::Place;
using testing::writeFile;

constexpr std::uint32_t kBlockSectors = 32;
using Blocks = std::array<std::uint16_t, 5>;

class IdBlockWrite : public IdbWriteFixture {};

TEST_F(IdBlockWrite, BlankPlayerGetsFiveCopiesItsBootRomAccepts) {
    start(loaderPlayer(kSmallNand));
    CFlashDevice d = device();
    d.systemDiskMB = 2;
    d.diskSizesText = "3";
    d.snData = patternBytes(40, 0x30);
    d.hasMac = 1;
    d.mac = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(d.WriteIDBlock(false, true), 0);
    EXPECT_EQ(d.idbBlocks, (Blocks{0, 1, 2, 3, 4}));

    for (const sim::IdBlockCopy& c : validCopies(d.idbBlocks, kBlockSectors)) {
        EXPECT_EQ(c.idbBlocks, (Blocks{0, 1, 2, 3, 4}));
        EXPECT_EQ(c.reservedRanges, (std::array<std::uint16_t, 4>{5, 9, 10, 11}));
        EXPECT_EQ(c.diskSizesMB, (std::array<std::uint16_t, 4>{12, 3, 0, 0}));
        EXPECT_EQ(c.loaderWords, (std::array<std::uint16_t, 3>{0x2008, 0x1220, 0x0123}));
        EXPECT_EQ(c.bootCode, patternBytes(3000, 0x42));
        EXPECT_EQ(c.serialNumber, patternBytes(40, 0x30));
        EXPECT_EQ(c.mac, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
    }
    EXPECT_TRUE(logged("INFO:Writing No(5) ID Block，Pos:00000128(SEC)"));
    CFlashDevice again = device();
    ASSERT_EQ(again.GetFlashInfo(again.flashInfo), 1);
    ASSERT_EQ(again.BuildFlashStateMap(0, again.flashInfo), 1);
    EXPECT_EQ(again.FindAllIDB(), 5);
    EXPECT_TRUE(resetComesBackAsLoader());
}

TEST_F(IdBlockWrite, UpdateInPlaceTakesNewBootCodeAndKeepsLayoutAndSerialNumber) {
    start(loaderPlayer(kSmallNand));
    CFlashDevice first = device();
    first.systemDiskMB = 2;
    first.snData = patternBytes(12, 0x61);
    first.hasMac = 1;
    first.mac = {9, 8, 7, 6, 5, 4};
    ASSERT_EQ(first.WriteIDBlock(false, true), 0);

    writeFile(bootPath(), patternBytes(5000, 0x77));
    CFlashDevice update = device();
    update.loaderWords = {0x2009, 0x0101, 0x0200};
    ASSERT_EQ(update.WriteIDBlock(false, false), 0);
    EXPECT_EQ(update.formatNeeded, 0u);
    EXPECT_TRUE(logged("INFO:start to erase system disk"));
    for (const sim::IdBlockCopy& c : validCopies(update.idbBlocks, kBlockSectors)) {
        EXPECT_EQ(c.bootCode, patternBytes(5000, 0x77));
        EXPECT_EQ(c.loaderWords, (std::array<std::uint16_t, 3>{0x2009, 0x0101, 0x0200}));
        EXPECT_EQ(c.diskSizesMB[0], 12);  // the recorded size stays
        EXPECT_EQ(c.reservedRanges, (std::array<std::uint16_t, 4>{5, 9, 10, 11}));
        EXPECT_EQ(c.serialNumber, patternBytes(12, 0x61));
        EXPECT_EQ(c.mac, (std::array<std::uint8_t, 6>{9, 8, 7, 6, 5, 4}));
    }
    EXPECT_TRUE(resetComesBackAsLoader());
}

// A system disk that grows needs the user's consent: Cancel leaves the copies as they
// were, OK formats behind the reserved blocks.
TEST_F(IdBlockWrite, GrowingSystemDiskAsksFirst) {
    start(loaderPlayer(kSmallNand));
    CFlashDevice first = device();
    first.systemDiskMB = 2;
    ASSERT_EQ(first.WriteIDBlock(false, true), 0);
    const auto before = testing::IdbWriteFixture::readBlock(0, kBlockSectors);

    for (bool ok : {false, true}) {
        std::vector<std::string> asked;
        ScopedPromptAnswerer answer([&](const std::string& text, const std::string& caption) {
            asked.push_back(caption + ": " + text);
            return ok;
        });
        CFlashDevice grow = device();
        grow.systemDiskMB = 4;
        grow.systemCheckMB = 12;
        const int result = grow.WriteIDBlock(false, false);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0],
                  "Prompt: The system disk size changed,need to format,data will "
                  "lose,you want to continue?");
        if (!ok) {
            EXPECT_EQ(result, -23);
            EXPECT_TRUE(logged("INFO:user cancel"));
            EXPECT_EQ(readBlock(0, kBlockSectors), before);
            continue;
        }
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(logged("INFO:erasing blocks behind the reserve block,start(12),num(1012)"));
        for (const sim::IdBlockCopy& c : validCopies(grow.idbBlocks, kBlockSectors))
            EXPECT_EQ(c.diskSizesMB[0], 14);
    }
}

// Without an answerer of its own the question is the system's OK/Cancel box.
TEST_F(IdBlockWrite, WithoutAnAnswererTheQuestionIsAnOkCancelBoxOfTheSystem) {
    start(loaderPlayer(kSmallNand));
    CFlashDevice first = device();
    first.systemDiskMB = 2;
    ASSERT_EQ(first.WriteIDBlock(false, true), 0);
    world->sim().setMessageAnswerer(
        [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Ok; });
    CFlashDevice grow = device();
    grow.systemDiskMB = 4;
    grow.systemCheckMB = 12;
    EXPECT_EQ(grow.WriteIDBlock(false, false), 0);
    const auto shown = world->sim().shownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Prompt");
    EXPECT_EQ(shown[0].buttons, os::MessageButtons::OkCancel);
    EXPECT_EQ(shown[0].icon, os::MessageIcon::Information);
}

// A copy whose block fails moves on to the next good block, and every copy is written
// again so that the five agree on the new positions.
TEST_F(IdBlockWrite, FullWriteReplansAroundABlockThatFailsToProgramOrCompare) {
    const struct {
        Faults faults;
        const char* line;
    } cases[] = {
        {Faults().programFails({2}), "ERROR:write data to flash failed,ErrCode(-4)"},
        // A data bit of block 2's sector 3 reads back wrong, every time.
        {Faults().flipBit(Place::sector(67), 100, 2), "ERROR:check failed"},
    };
    for (const auto& c : cases) {
        start(loaderPlayer(kSmallNand, c.faults));
        const std::size_t logBefore = logText().size();
        CFlashDevice d = device();
        ASSERT_EQ(d.WriteIDBlock(false, true), 0) << c.line;
        EXPECT_EQ(d.idbBlocks, (Blocks{0, 1, 3, 4, 5})) << c.line;
        const std::string log = logText().substr(logBefore);
        EXPECT_NE(log.find(c.line), std::string::npos) << c.line;
        EXPECT_NE(log.find("INFO:start next write，rewrite(1)"), std::string::npos) << c.line;
        for (const sim::IdBlockCopy& copy : validCopies(d.idbBlocks, kBlockSectors)) {
            EXPECT_EQ(copy.idbBlocks, (Blocks{0, 1, 3, 4, 5})) << c.line;
            EXPECT_EQ(copy.reservedRanges, (std::array<std::uint16_t, 4>{6, 10, 11, 12})) << c.line;
        }
        EXPECT_TRUE(resetComesBackAsLoader()) << c.line;
    }
}

TEST_F(IdBlockWrite, UpdateReplansAroundABlockThatFailsToErase) {
    sim::testing::TempFolder state;
    start(loaderPlayer(kSmallNand, {}, state.path()));
    CFlashDevice first = device();
    ASSERT_EQ(first.WriteIDBlock(false, true), 0);
    start(loaderPlayer(kSmallNand, Faults().eraseFails({1}), state.path()));
    CFlashDevice update = device();
    ASSERT_EQ(update.WriteIDBlock(false, false), 0);
    EXPECT_TRUE(logged("INFO:next write ID Block，Rewrite(1)"));
    EXPECT_EQ(update.idbBlocks, (Blocks{0, 2, 3, 4, 5}));
    for (const sim::IdBlockCopy& c : validCopies(update.idbBlocks, kBlockSectors))
        EXPECT_EQ(c.idbBlocks, (Blocks{0, 2, 3, 4, 5}));
    EXPECT_TRUE(resetComesBackAsLoader());
    world.reset();  // before its state folder goes
}

// Copies found where sector 1 does not record them: with all five found, the copies stay
// where they are and both reserved ranges move right behind the fifth; with fewer found,
// the recorded positions are written again.
TEST_F(IdBlockWrite, UpdateTakesCopyPositionsFoundOnTheFlash) {
    struct Case {
        const char* name;
        bool moveCopy;                     // block 2's copy to block 7, or only lost
        std::optional<bool> okToQuestion;  // asked before correcting, answered so
        Blocks blocks;
        std::array<std::uint16_t, 4> reserved;
        bool announced;
    } cases[] = {
        {"moved", true, std::nullopt, {0, 1, 3, 4, 7}, {8, 12, 13, 14}, true},
        {"moved, asked, OK", true, true, {0, 1, 3, 4, 7}, {8, 12, 13, 14}, true},
        {"moved, asked, Cancel keeps the record",
         true,
         false,
         {0, 1, 2, 3, 4},
         {5, 9, 10, 11},
         false},
        {"lost", false, std::nullopt, {0, 1, 2, 3, 4}, {5, 9, 10, 11}, false},
    };
    for (const Case& c : cases) {
        start(loaderPlayer(kSmallNand));
        ASSERT_EQ(device().WriteIDBlock(false, true), 0) << c.name;
        const std::string path = usbPath();
        if (c.moveCopy) {
            auto raw = readBlock(2, kBlockSectors);
            for (std::uint32_t s = 0; s < kBlockSectors; s += CVU_MAX_SECTORS) {
                const std::uint32_t n = std::min<std::uint32_t>(CVU_MAX_SECTORS, kBlockSectors - s);
                ASSERT_EQ(CVU_WriteSector(path.c_str(), 7 * kBlockSectors + s, n, 1,
                                          raw.data() + std::size_t{s} * kRawSectorBytes),
                          0);
            }
        }
        ASSERT_EQ(CVU_EraseBlock(path.c_str(), 0, 2, 1, CVU_ERASE_NORMAL), 0) << c.name;

        const std::size_t logBefore = logText().size();
        CFlashDevice update = device();
        std::vector<std::string> asked;
        ScopedPromptAnswerer answer([&](const std::string& text, const std::string&) {
            asked.push_back(text);
            return c.okToQuestion.value_or(false);
        });
        if (c.okToQuestion) update.askBeforeOffsetCorrection = "move the copies?";
        ASSERT_EQ(update.WriteIDBlock(false, false), 0) << c.name;
        EXPECT_EQ(asked, c.okToQuestion ? std::vector<std::string>{"move the copies?"}
                                        : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(update.idbBlocks, c.blocks) << c.name;
        const std::string log = logText().substr(logBefore);
        EXPECT_EQ(log.find("INFO:IDB Offset is different from detect value,recover ok") !=
                      std::string::npos,
                  c.announced)
            << c.name;
        EXPECT_EQ(log.find("INFO:Reserved Block value is wrong"), std::string::npos) << c.name;
        for (const sim::IdBlockCopy& copy : validCopies(c.blocks, kBlockSectors)) {
            EXPECT_EQ(copy.idbBlocks, c.blocks) << c.name;
            EXPECT_EQ(copy.reservedRanges, c.reserved) << c.name;
            EXPECT_EQ(copy.firstFreeBlock, c.reserved[3] + 1) << c.name;
        }
        // What was written is what the next operation finds (a kept record leaves the moved
        // copy behind as a sixth).
        CFlashDevice again = device();
        ASSERT_EQ(again.GetFlashInfo(again.flashInfo), 1);
        ASSERT_EQ(again.BuildFlashStateMap(0, again.flashInfo), 1);
        EXPECT_EQ(again.FindAllIDB(), 5) << c.name;
        EXPECT_EQ(again.idbBlocks, c.blocks) << c.name;
    }
}

// Twenty failed attempts give up; so does a re-plan that runs out of blocks.
TEST_F(IdBlockWrite, GivesUpWhenNoAttemptSucceeds) {
    struct Case {
        Nand nand;
        std::vector<std::uint32_t> failing;
        std::string lastLine;
    };
    std::vector<std::uint32_t> first20(20);
    std::iota(first20.begin(), first20.end(), 0u);
    const Case cases[] = {
        {kSmallNand, first20, "ERROR: make ID Block data failed,ErrCode(1)!"},
        // 16 blocks of 1 MiB: the fourth re-plan finds no room for the reserved blocks.
        {Nand().chipSectors(32768).blockSectors(2048),
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         "ERROR: make ID Block data failed,ErrCode(3)!"},
    };
    for (const Case& c : cases) {
        start(loaderPlayer(c.nand, Faults().programFails(c.failing)));
        CFlashDevice d = device();
        EXPECT_EQ(d.WriteIDBlock(false, true), -14) << c.lastLine;
        EXPECT_TRUE(logged(c.lastLine)) << c.lastLine;
    }
    EXPECT_TRUE(logged("INFO:start next write，rewrite(20)"));

    // An update whose every attempt meets a block that fails to erase gives up alike.
    sim::testing::TempFolder state;
    start(loaderPlayer(kSmallNand, {}, state.path()));
    ASSERT_EQ(device().WriteIDBlock(false, true), 0);
    start(loaderPlayer(kSmallNand, Faults().eraseFails(first20), state.path()));
    CFlashDevice update = device();
    EXPECT_EQ(update.WriteIDBlock(false, false), -24);
    EXPECT_TRUE(logged("INFO:next write ID Block，Rewrite(20)"));
    EXPECT_TRUE(logged("ERROR: write ID Block failed,ErrCode(1)"));
    world.reset();  // before its state folder goes
}

// Boot files that cannot be laid out are refused before anything is erased or written.
TEST_F(IdBlockWrite, OversizedBootFilesAreRefusedBeforeWriting) {
    struct Case {
        std::size_t dataBytes, bootBytes;
        bool fullWrite;
        int result;
        std::string line;
    };
    const Case cases[] = {
        {513, 3000, true, -14, "ERROR:FlashData file too large,Size(513),Max(512)"},
        {300, 28 * 512, true, -14,
         "ERROR:ID Block larger than a block,Sectors(33),BlockSectors(32)"},
        {513, 3000, false, -23, "ERROR:FlashData file too large,Size(513),Max(512)"},
    };
    for (const Case& c : cases) {
        start(loaderPlayer(kSmallNand));
        if (!c.fullWrite) {
            ASSERT_EQ(device().WriteIDBlock(false, true), 0);
        }
        const auto before = readBlock(0, kBlockSectors);
        const std::size_t logBefore = logText().size();
        writeFile(dataPath(), patternBytes(c.dataBytes, 1));
        writeFile(bootPath(), patternBytes(c.bootBytes, 2));
        CFlashDevice d = device();
        EXPECT_EQ(d.WriteIDBlock(false, c.fullWrite), c.result) << c.line;
        EXPECT_TRUE(logged(c.line)) << c.line;
        EXPECT_EQ(readBlock(0, kBlockSectors), before) << c.line;
        EXPECT_EQ(logText().find("Erasing", logBefore), std::string::npos) << c.line;
        writeFile(dataPath(), patternBytes(300, 0x11));
        writeFile(bootPath(), patternBytes(3000, 0x42));
    }
}

TEST_F(IdBlockWrite, EraseIDBAreaClearsTheCopiesAndReservedBlocks) {
    start(loaderPlayer(kSmallNand));
    ASSERT_EQ(device().WriteIDBlock(false, true), 0);
    CFlashDevice d = device();
    ASSERT_EQ(d.EraseIDBArea(), 1);
    EXPECT_TRUE(logged("Flash(0) - Erasing: 00000000 ~ 00000015 ... "));
    CFlashDevice after = device();
    ASSERT_EQ(after.GetFlashInfo(after.flashInfo), 1);
    ASSERT_EQ(after.BuildFlashStateMap(0, after.flashInfo), 1);
    EXPECT_EQ(after.FindAllIDB(), 0);
    EXPECT_EQ(CFlashDevice(device()).EraseIDBArea(), 0);  // nothing left to erase
}

}  // namespace
}  // namespace cv50::flash
