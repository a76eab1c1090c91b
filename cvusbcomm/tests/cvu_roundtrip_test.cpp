// Every CVU_ call through the pipes to a simulated loader and back: results, data, the
// checks made before sending, scripted faults, and devices that vanish mid-command.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/os/error_codes.h"
#include "sim/loader_endpoint.h"
#include "sim/testing/recording_endpoint.h"
#include "sim/testing/scoped_sim.h"

namespace cv50 {
namespace {

using cvusb::Opcode;
using sim::BlockRef;
using sim::FaultSpec;
using sim::LoaderEndpoint;
using sim::LoaderMedia;
using sim::NandSpec;
using sim::testing::patternBytes;
using sim::testing::RecordingEndpoint;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kPath =
    "\\\\?\\USB#VID_071B&PID_3201#5&1&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr std::uint32_t kBlockSectors = 64;

// 600 blocks of 64 sectors, pages of 4 sectors; blocks 3 and 517 bad from the factory.
NandSpec smallNand() {
    NandSpec n;
    n.chipSectors = 600 * kBlockSectors;
    n.blockSectors = kBlockSectors;
    n.pageSectors = 4;
    n.manufacturer = 4;
    n.geometryA = 0x33;
    n.geometryB = 0x44;
    n.badBlocks = {{0, 3}, {0, 517}};
    return n;
}

class CvuTest : public ::testing::Test {
protected:
    explicit CvuTest(double speed = 1000) : world(ScenarioBuilder().speed(speed)) {}
    void attach(const NandSpec& nand = smallNand(), const sim::TimingSpec& timing = {},
                const FaultSpec& faults = {}) {
        media = std::make_shared<LoaderMedia>(nand, timing, faults);
        // The disks from block 8 on, a system disk of 1 MiB first.
        media->disk.setLayout(sim::DiskLayout{8, {1, 0, 0, 0}, 0});
        loader = std::make_shared<LoaderEndpoint>(media, world.sim().clock());
        wire = std::make_shared<RecordingEndpoint>(loader);
        world.sim().attachEndpoint(kPath, wire);
    }
    void SetUp() override { attach(); }

    ScopedSim world;
    std::shared_ptr<LoaderMedia> media;
    std::shared_ptr<LoaderEndpoint> loader;
    std::shared_ptr<RecordingEndpoint> wire;
};

TEST_F(CvuTest, FlashAndChipInformation) {
    std::uint8_t info[16];
    std::fill(std::begin(info), std::end(info), 0xAA);
    ASSERT_EQ(CVU_ReadFlashInfo(kPath, info), 0);
    const Bytes expected = {0x00, 0x96, 0x00, 0x00, 64, 0, 4, 0x33, 0x44, 4, 0x01, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(info, info + 16), expected);  // 38400 sectors = 0x9600

    std::uint8_t chip[16] = {};
    ASSERT_EQ(CVU_ReadChipInfo(kPath, chip), 0);
    EXPECT_EQ(chip[0], 0x2C);  // maker id of manufacturer code 4
}

TEST_F(CvuTest, BadBlockBitmapMarksFactoryBadBlocksAndOnlyTheBlocksAsked) {
    Bytes bitmap(64, 0);
    EXPECT_EQ(CVU_TestBadBlock(kPath, 0, 0, 512, bitmap.data()), CVU_BAD_BLOCK);
    Bytes expected(64, 0);
    expected[0] = 0x08;  // block 3
    EXPECT_EQ(bitmap, expected);

    // Blocks 512-599: 517 is bit 5 of byte 0; nothing past the 88 blocks asked for.
    std::fill(bitmap.begin(), bitmap.end(), 0);
    EXPECT_EQ(CVU_TestBadBlock(kPath, 0, 512, 88, bitmap.data()), CVU_BAD_BLOCK);
    expected[0] = 0x20;
    EXPECT_EQ(bitmap, expected);

    std::fill(bitmap.begin(), bitmap.end(), 0xEE);
    EXPECT_EQ(CVU_TestBadBlock(kPath, 0, 4, 500, bitmap.data()), 0);
    EXPECT_EQ(bitmap, Bytes(64, 0));  // the whole in-phase is sent, zeroed

    EXPECT_EQ(CVU_TestBadBlock(kPath, 0, 100, 501, bitmap.data()), CVU_ERR_RANGE);
    EXPECT_EQ(CVU_TestBadBlock(kPath, 1, 0, 10, bitmap.data()), CVU_ERR_RANGE);  // no chip 1
}

TEST_F(CvuTest, RawSectorsRoundTripAndProgrammingWithoutEraseCorrupts) {
    const std::uint32_t first = 10 * kBlockSectors + 2;
    const Bytes data = patternBytes(20 * 528, 1);
    ASSERT_EQ(CVU_WriteSector(kPath, first, 20, 1, data.data()), 0);
    Bytes back(20 * 528, 0);
    ASSERT_EQ(CVU_ReadSector(kPath, first, 20, 1, back.data()), 0);
    EXPECT_EQ(back, data);  // spare bytes included

    // Erased sectors read 0xFF.
    ASSERT_EQ(CVU_ReadSector(kPath, first + 20, 1, 1, back.data()), 0);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 528), Bytes(528, 0xFF));

    // A second write without erase leaves the AND of both: not what was written.
    const Bytes other = patternBytes(528, 90);
    ASSERT_EQ(CVU_WriteSector(kPath, first, 1, 1, other.data()), 0);
    ASSERT_EQ(CVU_ReadSector(kPath, first, 1, 1, back.data()), 0);
    Bytes anded(528);
    for (std::size_t i = 0; i < 528; ++i) anded[i] = data[i] & other[i];
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 528), anded);
    EXPECT_NE(Bytes(back.begin(), back.begin() + 528), other);

    // Erase, then the same write sticks.
    ASSERT_EQ(CVU_EraseBlock(kPath, 0, 10, 1, CVU_ERASE_NORMAL), 0);
    ASSERT_EQ(CVU_WriteSector(kPath, first, 1, 1, other.data()), 0);
    ASSERT_EQ(CVU_ReadSector(kPath, first, 1, 1, back.data()), 0);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 528), other);

    EXPECT_EQ(CVU_ReadSector(kPath, 600 * kBlockSectors - 1, 2, 1, back.data()), CVU_ERR_RANGE);
}

TEST_F(CvuTest, EraseReportsBadBlocksMetAndForceEraseClearsOnlyGrownOnes) {
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 0, 10, CVU_ERASE_NORMAL), CVU_BAD_BLOCK);  // block 3
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 4, 10, CVU_ERASE_NORMAL), 0);
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 594, 6, CVU_ERASE_NORMAL), 0);
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 594, 7, CVU_ERASE_NORMAL), CVU_ERR_RANGE);

    media->nand.markGrownBad(0, 20);
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 20, 1, CVU_ERASE_NORMAL), CVU_BAD_BLOCK);
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 20, 1, CVU_ERASE_FORCE), 0);
    EXPECT_FALSE(media->nand.isBad(0, 20));
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 3, 1, CVU_ERASE_FORCE), CVU_BAD_BLOCK);
    EXPECT_TRUE(media->nand.isBad(0, 3));
}

TEST_F(CvuTest, LogicalDiskReadWriteAndSystemDiskErase) {
    const Bytes data = patternBytes(32 * 512, 3);
    ASSERT_EQ(CVU_WriteLBA(kPath, 1000, 32, data.data()), 0);
    ASSERT_EQ(CVU_WriteLBA(kPath, 2048, 1, data.data()), 0);  // the first sector behind it
    Bytes back(32 * 512);
    ASSERT_EQ(CVU_ReadLBA(kPath, 1000, 32, back.data()), 0);
    EXPECT_EQ(back, data);

    // The system disk is erased, the disk behind it kept.
    ASSERT_EQ(CVU_EraseSystemDisk(kPath), 0);
    ASSERT_EQ(CVU_ReadLBA(kPath, 1000, 32, back.data()), 0);
    EXPECT_EQ(back, Bytes(32 * 512, 0xFF));
    ASSERT_EQ(CVU_ReadLBA(kPath, 2048, 1, back.data()), 0);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 512, back.begin()));

    // 592 blocks from block 8, less factory-bad block 517.
    const std::uint32_t sectors = 591 * kBlockSectors;
    EXPECT_EQ(CVU_ReadLBA(kPath, sectors - 32, 32, back.data()), 0);
    EXPECT_EQ(CVU_WriteLBA(kPath, sectors - 31, 32, data.data()), CVU_ERR_RANGE);
    EXPECT_EQ(CVU_ReadLBA(kPath, 0xFFFFFFF0u, 32, back.data()), CVU_ERR_RANGE);

    // No ID Block told the loader where its disk is: there is none, and nothing to erase.
    media->disk.setLayout(std::nullopt);
    EXPECT_EQ(CVU_ReadLBA(kPath, 0, 1, back.data()), CVU_ERR_DEVICE);
    EXPECT_EQ(CVU_WriteLBA(kPath, 0, 1, data.data()), CVU_ERR_DEVICE);
    EXPECT_EQ(CVU_EraseSystemDisk(kPath), 0);
}

TEST_F(CvuTest, UnitReadyIsBusyForTheScriptedPeriodWithItsCounters) {
    sim::TimingSpec timing;
    timing.busyMs = 5000;
    attach(smallNand(), timing);
    unsigned total = 0, done = 99999;
    EXPECT_EQ(CVU_TestUnitReady(kPath, &total, &done), CVU_BUSY);
    EXPECT_EQ(total, 5000u);
    EXPECT_LT(done, 5000u);
    EXPECT_EQ(CVU_TestUnitReady(kPath, nullptr, nullptr), CVU_BUSY);  // null outputs allowed
    os::current().sleepMs(5000);
    EXPECT_EQ(CVU_TestUnitReady(kPath, &total, &done), 0);
    EXPECT_EQ(done, total);
}

TEST_F(CvuTest, ResetIsAnsweredThenReportedWithTheResetFlag) {
    std::vector<bool> resets;
    loader->onReset = [&](bool flag) { resets.push_back(flag); };
    EXPECT_EQ(CVU_ResetDevice(kPath), 0);
    ASSERT_EQ(CVU_SetResetFlag(kPath), 0);
    EXPECT_EQ(CVU_ResetDevice(kPath), 0);
    EXPECT_EQ(CVU_ResetDevice(kPath), 0);  // the flag does not survive a reset
    EXPECT_EQ(resets, (std::vector<bool>{false, true, false}));

    // The owner takes the player off the bus: its old path answers no more.
    loader->onReset = [&](bool) { world.sim().detachEndpoint(kPath); };
    EXPECT_EQ(CVU_ResetDevice(kPath), 0);
    EXPECT_EQ(CVU_TestUnitReady(kPath, nullptr, nullptr), CVU_ERR_TRANSPORT);
}

TEST_F(CvuTest, BadArgumentsFailBeforeAnythingIsSent) {
    Bytes buffer(2048 * 512 + 528);
    std::uint8_t* b = buffer.data();
    struct Case {
        const char* what;
        int result;
    } cases[] = {
        {"21 sectors read", CVU_ReadSector(kPath, 0, 21, 1, b)},
        {"21 sectors written", CVU_WriteSector(kPath, 0, 21, 1, b)},
        {"0 sectors", CVU_ReadSector(kPath, 0, 0, 1, b)},
        {"mode 2", CVU_ReadSector(kPath, 0, 1, 2, b)},
        {"null read buffer", CVU_ReadSector(kPath, 0, 1, 1, nullptr)},
        {"null write buffer", CVU_WriteSector(kPath, 0, 1, 1, nullptr)},
        {"513 blocks", CVU_TestBadBlock(kPath, 0, 0, 513, b)},
        {"0 blocks", CVU_TestBadBlock(kPath, 0, 0, 0, b)},
        {"chip 8", CVU_TestBadBlock(kPath, 8, 0, 1, b)},
        {"chip -1", CVU_EraseBlock(kPath, -1, 0, 1, 6)},
        {"null bitmap", CVU_TestBadBlock(kPath, 0, 0, 1, nullptr)},
        {"erase kind 7", CVU_EraseBlock(kPath, 0, 0, 1, 7)},
        {"erase 0 blocks", CVU_EraseBlock(kPath, 0, 0, 0, 6)},
        {"null flash info", CVU_ReadFlashInfo(kPath, nullptr)},
        {"null chip info", CVU_ReadChipInfo(kPath, nullptr)},
        {"2049 LBA sectors", CVU_ReadLBA(kPath, 0, 2049, b)},
        {"null LBA buffer", CVU_WriteLBA(kPath, 0, 1, nullptr)},
        {"empty path", CVU_TestUnitReady("", nullptr, nullptr)},
        {"null path", CVU_ResetDevice(nullptr)},
        {"empty path, reset flag", CVU_SetResetFlag("")},
        {"null path, erase disk", CVU_EraseSystemDisk(nullptr)},
    };
    for (const Case& k : cases) EXPECT_EQ(k.result, CVU_ERR_ARGUMENT) << k.what;
    EXPECT_TRUE(wire->commands.empty());
}

TEST_F(CvuTest, ScriptedFaults) {
    FaultSpec f;
    f.failCommands = {{Opcode::WriteLBA, 2, CVU_ERR_DEVICE}};
    f.readErrors = {{false, 5 * kBlockSectors}, {true, 7}};
    f.flipBits = {{{false, 6 * kBlockSectors}, 100, 3}, {{true, 8}, 0, 0}};
    f.eraseFails = {{0, 30}};
    f.programFails = {{0, 31}};
    attach(smallNand(), {}, f);

    const Bytes data = patternBytes(512, 5);
    EXPECT_EQ(CVU_WriteLBA(kPath, 8, 1, data.data()), CVU_ERR_DEVICE);
    EXPECT_EQ(CVU_WriteLBA(kPath, 8, 1, data.data()), CVU_ERR_DEVICE);
    EXPECT_EQ(CVU_WriteLBA(kPath, 8, 1, data.data()), 0);  // third time works

    Bytes back(528);
    EXPECT_EQ(CVU_ReadSector(kPath, 5 * kBlockSectors, 1, 1, back.data()), CVU_ERR_READ);
    EXPECT_EQ(CVU_ReadLBA(kPath, 7, 1, back.data()), CVU_ERR_READ);
    ASSERT_EQ(CVU_ReadSector(kPath, 6 * kBlockSectors, 1, 1, back.data()), 0);
    EXPECT_EQ(back[100], 0xF7);  // bit 3 of an erased byte
    ASSERT_EQ(CVU_ReadLBA(kPath, 8, 1, back.data()), 0);
    EXPECT_EQ(back[0], data[0] ^ 1);

    // A block that fails erase or program becomes bad and shows in the bitmap.
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 30, 1, CVU_ERASE_NORMAL), CVU_ERR_DEVICE);
    const Bytes raw = patternBytes(528, 9);
    EXPECT_EQ(CVU_WriteSector(kPath, 31 * kBlockSectors, 1, 1, raw.data()), CVU_ERR_DEVICE);
    Bytes bitmap(64, 0);
    EXPECT_EQ(CVU_TestBadBlock(kPath, 0, 24, 16, bitmap.data()), CVU_BAD_BLOCK);
    EXPECT_EQ(bitmap[0], 0xC0);  // blocks 30 and 31
    EXPECT_EQ(CVU_EraseBlock(kPath, 0, 30, 1, CVU_ERASE_NORMAL), CVU_BAD_BLOCK);
}

// A clock slow enough that a transfer's bound is not lost in the wall clock's own jitter.
class SilentDeviceTest : public CvuTest {
protected:
    SilentDeviceTest() : CvuTest(20) {}
};

// A device that stays on the bus but stops answering: each command fails once its kind's
// bound has passed, never sooner and never much later, and leaves the time-out code behind.
TEST_F(SilentDeviceTest, EachCommandCostsItsBound) {
    FaultSpec f;
    f.noAnswerFromCommand = 2;
    attach(smallNand(), {}, f);
    std::uint8_t info[16];
    ASSERT_EQ(CVU_ReadFlashInfo(kPath, info), 0);  // the first command is answered

    Bytes buffer(2048 * 512);
    struct Case {
        const char* command;
        std::uint64_t boundMs;
        std::function<int()> call;
    };
    const Case cases[] = {
        {"unit ready (taken, not answered)", 5000,
         [&] { return CVU_TestUnitReady(kPath, nullptr, nullptr); }},
        {"unit ready", 5000, [&] { return CVU_TestUnitReady(kPath, nullptr, nullptr); }},
        {"raw sectors", 5000, [&] { return CVU_ReadSector(kPath, 0, 20, 1, buffer.data()); }},
        {"a megabyte of the disk", 15000,
         [&] { return CVU_WriteLBA(kPath, 0, 2048, buffer.data()); }},
        {"bad-block test", 10000,
         [&] { return CVU_TestBadBlock(kPath, 0, 0, 512, buffer.data()); }},
        {"erase of 100 blocks", 7000,
         [&] { return CVU_EraseBlock(kPath, 0, 100, 100, CVU_ERASE_NORMAL); }},
        {"reset", 5000, [&] { return CVU_ResetDevice(kPath); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const std::uint64_t before = world.sim().msWaitedOnSilentDevices();
        EXPECT_EQ(c.call(), CVU_ERR_TIMEOUT);
        // One bound, not one per transfer of the command.
        EXPECT_EQ(world.sim().msWaitedOnSilentDevices() - before, c.boundMs);
        EXPECT_EQ(world.sim().lastError(), os::error::kSemTimeout);
    }
    // It is still there: its pipes open, only nothing comes back.
    const os::Handle pipe = world.sim().openReadWrite(std::string(kPath) + "\\PIPE00");
    EXPECT_NE(pipe, 0u);
    world.sim().closeHandle(pipe);
}

TEST_F(CvuTest, ADeviceThatVanishesMidCommandGivesAnErrorNotAHang) {
    Bytes buffer(20 * 528);
    // Gone before the call.
    world.sim().detachEndpoint(kPath);
    EXPECT_EQ(CVU_ReadFlashInfo(kPath, buffer.data()), CVU_ERR_TRANSPORT);

    // Gone after the command block: before the data phase out, and before the data in.
    struct Case {
        const char* what;
        std::function<int()> call;
    } cases[] = {
        {"write sector", [&] { return CVU_WriteSector(kPath, 0, 20, 1, buffer.data()); }},
        {"read sector", [&] { return CVU_ReadSector(kPath, 0, 20, 1, buffer.data()); }},
        {"erase", [&] { return CVU_EraseBlock(kPath, 0, 0, 5, 6); }},
        {"reset", [&] { return CVU_ResetDevice(kPath); }},
    };
    for (const Case& k : cases) {
        world.sim().attachEndpoint(kPath, wire);
        wire->onCommand = [&](const cvusb::Command&) { world.sim().detachEndpoint(kPath); };
        EXPECT_EQ(k.call(), CVU_ERR_TRANSPORT) << k.what;
    }
}

// Answers every command with bytes of its own choosing.
class ScriptedDevice : public sim::CorvUsbEndpoint {
public:
    explicit ScriptedDevice(std::function<Bytes(const cvusb::Command&)> answer)
        : answer_(std::move(answer)) {}
    bool hostWrite(std::span<const std::uint8_t> data) override {
        if (const auto c = cvusb::decodeCommand(data)) pending_ = answer_(*c);
        return true;
    }
    long long hostRead(std::span<std::uint8_t> buffer) override {
        if (pending_.empty()) return -1;
        const std::size_t n = std::min(buffer.size(), pending_.size());
        std::copy_n(pending_.begin(), n, buffer.begin());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<long long>(n);
    }

private:
    std::function<Bytes(const cvusb::Command&)> answer_;
    Bytes pending_;
};

TEST_F(CvuTest, AnswersThatAreNotAValidStatusAreProtocolErrors) {
    auto status = [](std::uint32_t tag, std::int32_t result, std::uint32_t length) {
        const auto s = cvusb::encodeStatus({tag, result, length});
        return Bytes(s.begin(), s.end());
    };
    struct Case {
        const char* what;
        std::function<Bytes(const cvusb::Command&)> answer;
        int expected;
    } cases[] = {
        {"good", [&](const cvusb::Command& c) { return status(c.tag, 0, 0); }, 0},
        {"device result", [&](const cvusb::Command& c) { return status(c.tag, -4, 0); }, -4},
        {"other tag", [&](const cvusb::Command& c) { return status(c.tag + 1, 0, 0); },
         CVU_ERR_PROTOCOL},
        {"other length", [&](const cvusb::Command& c) { return status(c.tag, 0, 8); },
         CVU_ERR_PROTOCOL},
        {"garbage", [](const cvusb::Command&) { return Bytes(16, 0x5A); }, CVU_ERR_PROTOCOL},
        {"short status",
         [&](const cvusb::Command& c) {
             Bytes s = status(c.tag, 0, 0);
             s.resize(10);
             return s;
         },
         CVU_ERR_TRANSPORT},
        {"silence", [](const cvusb::Command&) { return Bytes(); }, CVU_ERR_TRANSPORT},
    };
    for (const Case& k : cases) {
        world.sim().attachEndpoint(kPath, std::make_shared<ScriptedDevice>(k.answer));
        EXPECT_EQ(CVU_SetResetFlag(kPath), k.expected) << k.what;
    }
}

}  // namespace
}  // namespace cv50
