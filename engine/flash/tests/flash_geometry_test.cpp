// The geometry steps against a simulated loader: what goes over the wire and what is logged.
#include <gtest/gtest.h>

#include <sstream>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/flash_device.h"
#include "sim/loader_endpoint.h"
#include "sim/testing/recording_endpoint.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::flash {
namespace {

using cvusb::Opcode;
using sim::testing::RecordingEndpoint;
using sim::testing::ScopedSim;
using sim::testing::TempFolder;

constexpr const char* kPath = "\\\\?\\USB#VID_071B&PID_3201#5&1&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

sim::NandSpec nand(std::uint32_t blocks, std::vector<std::uint32_t> bad = {},
                   std::uint8_t mask = 0x01) {
    sim::NandSpec n;
    n.chipMask = mask;
    n.blockSectors = 256;
    n.chipSectors = blocks * 256;
    n.manufacturer = 1;
    for (std::uint32_t b : bad) n.badBlocks.push_back({0, b});
    return n;
}

class FlashGeometry : public ::testing::Test {
protected:
    void SetUp() override { log::disable(); }
    void TearDown() override { log::disable(); }

    void attach(const sim::NandSpec& spec, const sim::FaultSpec& faults = {}) {
        media = std::make_shared<sim::LoaderMedia>(spec, sim::TimingSpec{}, faults);
        wire = std::make_shared<RecordingEndpoint>(
            std::make_shared<sim::LoaderEndpoint>(media, world.sim().clock()));
        world.sim().attachEndpoint(kPath, wire);
        device.SetDevice(kPath);
    }
    void attach(std::shared_ptr<sim::CorvUsbEndpoint> endpoint) {
        wire = std::make_shared<RecordingEndpoint>(std::move(endpoint));
        world.sim().attachEndpoint(kPath, wire);
        device.SetDevice(kPath);
    }
    // The log lines written since logging started, without their time prefixes.
    std::vector<std::string> logLines() {
        std::istringstream in(sim::testing::readTextFile(folder.file("Log2026-01-02.txt")));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const auto tab = line.find('\t');
            lines.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return lines;
    }
    void startLog() { ASSERT_TRUE(log::setFolder(folder.path().c_str())); }

    ScopedSim world{sim::testing::ScenarioBuilder().time("2026-01-02T03:00:00.000")};
    TempFolder folder;
    std::shared_ptr<sim::LoaderMedia> media;
    std::shared_ptr<RecordingEndpoint> wire;
    CFlashDevice device;
};

TEST_F(FlashGeometry, GetFlashInfoFillsTheRecordOrLeavesItAlone) {
    attach(nand(1024));
    ASSERT_EQ(device.GetFlashInfo(device.flashInfo), 1);
    EXPECT_EQ(device.flashInfo.sizeMB, 128u);
    EXPECT_EQ(device.flashInfo.blockCount, 1024u);
    EXPECT_EQ(device.flashInfo.manufacturer, "TOSHIBA");

    world.sim().detachEndpoint(kPath);
    FlashInfo kept = device.flashInfo;
    kept.chipMask = 0x77;
    EXPECT_EQ(device.GetFlashInfo(kept), 0);
    EXPECT_EQ(kept.chipMask, 0x77);
}

TEST_F(FlashGeometry, MapOfAChipUnder512BlocksIsTestedOverItsBlocksOnly) {
    attach(nand(320, {0, 7, 319}));  // 40 MB: the block count comes from whole megabytes
    ASSERT_EQ(device.GetFlashInfo(device.flashInfo), 1);
    ASSERT_EQ(device.BuildFlashStateMap(0, device.flashInfo), 1);
    const auto tests = wire->of(Opcode::TestBadBlock);
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_EQ(tests[0].params[1], 0u);
    EXPECT_EQ(tests[0].params[2], 320u);
    const auto& map = device.flashInfo.blockMap;
    ASSERT_EQ(map.size(), 320u);
    EXPECT_EQ(std::count(map.begin(), map.end(), 1), 3);
    EXPECT_EQ(map[7], 1);
    EXPECT_EQ(map[319], 1);
}

TEST_F(FlashGeometry, MapOfALargeChipTestsTheFirst512BlocksAndLeavesTheRestGood) {
    attach(nand(2048, {3, 511, 512, 1500}));
    ASSERT_EQ(device.GetFlashInfo(device.flashInfo), 1);
    device.flashInfo.blockMap.assign(2048, 1);  // stale: cleared before the test
    ASSERT_EQ(device.BuildFlashStateMap(0, device.flashInfo), 1);
    const auto tests = wire->of(Opcode::TestBadBlock);
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_EQ(tests[0].params[2], 512u);
    const auto& map = device.flashInfo.blockMap;
    ASSERT_EQ(map.size(), 2048u);
    EXPECT_EQ(std::count(map.begin(), map.end(), 1), 2);  // 3 and 511; 512 and 1500 not tested
    EXPECT_EQ(map[511], 1);
}

// Reports every block bad, to see that only the blocks asked for reach the map.
class AllBadDevice : public sim::CorvUsbEndpoint {
public:
    bool hostWrite(std::span<const std::uint8_t> data) override {
        const auto c = cvusb::decodeCommand(data);
        if (!c) return false;
        answer_.assign(c->dataLength, 0xFF);
        const auto s = cvusb::encodeStatus({c->tag, CVU_BAD_BLOCK, c->dataLength});
        answer_.insert(answer_.end(), s.begin(), s.end());
        return true;
    }
    long long hostRead(std::span<std::uint8_t> buffer) override {
        const std::size_t n = std::min(buffer.size(), answer_.size());
        if (n == 0) return -1;
        std::copy_n(answer_.begin(), n, buffer.begin());
        answer_.erase(answer_.begin(), answer_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<long long>(n);
    }

private:
    std::vector<std::uint8_t> answer_;
};

TEST_F(FlashGeometry, TestBadBlocksGoesInChunksOf512AndReadsOnlyTheRemainderBits) {
    attach(std::make_shared<AllBadDevice>());
    std::vector<std::uint8_t> map(1100 + 8, 0);  // 8 guard entries past the blocks tested
    ASSERT_EQ(device.TestBadBlocks(0, 0, 1100, std::span(map).first(1100)), 1);
    const auto tests = wire->of(Opcode::TestBadBlock);
    ASSERT_EQ(tests.size(), 3u);
    EXPECT_EQ(tests[1].params[1], 512u);
    EXPECT_EQ(tests[2].params[1], 1024u);
    EXPECT_EQ(tests[2].params[2], 76u);
    EXPECT_EQ(std::count(map.begin(), map.begin() + 1100, 1), 1100);
    EXPECT_EQ(std::count(map.begin() + 1100, map.end(), 1), 0);
}

TEST_F(FlashGeometry, TestBadBlocksFailureIsLoggedWithItsCode) {
    sim::FaultSpec f;
    f.failCommands = {{Opcode::TestBadBlock, 2, -4}};
    attach(nand(1100), f);
    startLog();
    std::vector<std::uint8_t> map(1100, 0);
    EXPECT_EQ(device.TestBadBlocks(0, 0, 1100, map), 0);  // in a full chunk
    EXPECT_EQ(device.TestBadBlocks(0, 1024, 76, map), 0);  // in the remainder chunk
    EXPECT_EQ(logLines(), (std::vector<std::string>{"ERROR:test bad block failed,ErrCode(-4)", "",
                                                    "ERROR:test bad block failed,ErrCode(-4)"}));
}

TEST_F(FlashGeometry, EraseGoesInStepsOf128AndPassesOverBadBlocks) {
    attach(nand(1024, {200}));
    startLog();
    ASSERT_EQ(device.EraseBlocks(0, 100, 300, 6), 1);
    const auto erases = wire->of(Opcode::EraseBlock);
    ASSERT_EQ(erases.size(), 3u);
    std::vector<std::uint32_t> firsts, counts;
    for (const auto& c : erases) {
        firsts.push_back(c.params[1]);
        counts.push_back(c.params[2]);
        EXPECT_EQ(c.params[3], 6u);
    }
    EXPECT_EQ(firsts, (std::vector<std::uint32_t>{100, 228, 356}));
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{128, 128, 44}));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "Flash(0) - Erasing: 00000100 ~ 00000227 ... ", "Bad Block",
                              "Flash(0) - Erasing: 00000228 ~ 00000355 ... ", "Good Block",
                              "Flash(0) - Erasing: 00000356 ~ 00000399 ... ", "Good Block"}));
}

TEST_F(FlashGeometry, EraseStopsAtTheFirstFailedStep) {
    sim::FaultSpec f;
    f.eraseFails = {{0, 130}};
    attach(nand(1024), f);
    startLog();
    EXPECT_EQ(device.EraseBlocks(0, 0, 300, 11), 0);
    EXPECT_EQ(wire->of(Opcode::EraseBlock).size(), 2u);
    EXPECT_EQ(logLines().back(), "Failed");
}

TEST_F(FlashGeometry, ChipTableListsThePresentChipsAndTotalsTheirSize) {
    attach(nand(1024, {}, 0x05));
    ASSERT_EQ(device.GetFlashInfo(device.flashInfo), 1);
    startLog();
    EXPECT_EQ(device.PrintChipTable(), 256u);
    const std::string dashes(46, '-');
    EXPECT_EQ(logLines(), (std::vector<std::string>{"Flash chip info:", "NO\t\tSIZE(MB)\tManufacturer",
                                                    dashes, "0\t\t128MB\tTOSHIBA",
                                                    "2\t\t128MB\tTOSHIBA", dashes}));
}

TEST_F(FlashGeometry, FactoryBadBlocksZeroToFourPushTheIdBlockPositions) {
    attach(nand(1024, {0, 1, 2, 3, 4}));
    ASSERT_EQ(device.GetFlashInfo(device.flashInfo), 1);
    ASSERT_EQ(device.BuildFlashStateMap(0, device.flashInfo), 1);
    ASSERT_EQ(device.MakeSysReservedBlockAddr(device.idbBlocks, device.reserved1First,
                                              device.reserved1Last, device.reserved2First,
                                              device.reserved2Last),
              1);
    EXPECT_EQ(device.idbBlocks, (std::array<std::uint16_t, 5>{5, 6, 7, 8, 9}));
    EXPECT_EQ(device.reserved1First, 10);
    EXPECT_EQ(device.reserved2Last, 16);
}

}  // namespace
}  // namespace cv50::flash
