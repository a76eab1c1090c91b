// cv50 idb and cv50 sn against a loader player on a simulated port.
#include "cli/cmd_idb.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "cli/cmd_flash.h"
#include "cli/cmd_sn.h"
#include "cli/commands.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/search_exports.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"
#include "engine/flash/boot_head.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;

class IdbCommands : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<device::PortEntry> entries;
        device::EnumerateUsbPorts(entries);
        ASSERT_EQ(entries.size(), 1u);
        layer = entries[0].layer;
        const auto bytes = fwpkg::sampleLoaderFile();
        loader = folder.file("CVBOOT.BIN");
        sim::testing::writeFile(loader, bytes);
        world.sim().setTempFolder(folder.path() + "\\");
    }
    // Runs a command; returns its exit status with its output in `out` and `err`.
    template <typename Run>
    int run(Run body) {
        out.str("");
        err.str("");
        return body();
    }

    sim::testing::ScopedSim world{ScenarioBuilder().speed(1000).port(Player(Mode::Loader))};
    sim::testing::TempFolder folder;
    std::string layer, loader;
    std::ostringstream out, err;
};

TEST_F(IdbCommands, WriteSerialNumberUpdateAndErase) {
    std::istringstream noAnswers;
    IdbWriteOptions write{layer, loader, false, false};
    ASSERT_EQ(run([&] { return runIdbWrite(write, noAnswers, out, err); }), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "ID Block written at blocks 0 1 2 3 4; reserved blocks 5-9 and 10-11\n");

    const std::array<std::uint8_t, 6> mac{0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const std::vector<std::uint8_t> sn{'S', 'N', '-', '4', '2'};
    ASSERT_EQ(run([&] { return runSnWrite(layer, sn, mac, out, err); }), kExitOk) << err.str();
    ASSERT_EQ(run([&] { return runIdbWrite(write, noAnswers, out, err); }), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "ID Block updated at blocks 0 1 2 3 4; reserved blocks 5-9 and 10-11\n");
    ASSERT_EQ(run([&] { return runSnRead(layer, out, err); }), kExitOk) << err.str();
    EXPECT_EQ(out.str(),
              "Serial number: 5 bytes\nText: SN-42\nHex: 534E2D3432\n"
              "MAC: 00:1A:2B:3C:4D:5E\n");

    ASSERT_EQ(run([&] { return runIdbErase(layer, out, err); }), kExitOk) << err.str();
    EXPECT_EQ(run([&] { return runSnRead(layer, out, err); }), kExitFailed);
    EXPECT_EQ(run([&] { return runIdbErase(layer, out, err); }), kExitFailed);
}

TEST_F(IdbCommands, BlankPlayerInMaskRomGetsTheBootProgramsFirstThenBootsAsLoader) {
    // Simulated time runs on while a loaded machine stalls the test: a slower clock and a
    // long wait keep the margin.
    sim::testing::ScopedSim blank{
        ScenarioBuilder().speed(100).port(Player(Mode::MaskRom).enumerateDelay(0.5))};
    blank.sim().setTempFolder(folder.path() + "\\");
    std::istringstream noAnswers;
    IdbWriteOptions write{layer, loader, false, false};
    ASSERT_EQ(run([&] { return runIdbWrite(write, noAnswers, out, err); }), kExitOk) << err.str();
    const auto loaderOn = corvUsbOn(layer);
    ASSERT_TRUE(loaderOn);
    ASSERT_EQ(CVU_ResetDevice(loaderOn->devicePath.c_str()), 0);
    DEVICE_INFO record{};
    std::strcpy(record.layer, layer.c_str());
    SEARCH_RESULT list{1, &record};
    EXPECT_EQ(WaitCVDevice(&list, Loader, 20), 1);
}

TEST_F(IdbCommands, RefusesBadInputBeforeTouchingTheDevice) {
    std::istringstream noAnswers;
    IdbWriteOptions missing{layer, folder.path() + "/none.bin", false, true};
    EXPECT_EQ(run([&] { return runIdbWrite(missing, noAnswers, out, err); }), kExitBadInput);
    EXPECT_EQ(
        run([&] { return runSnWrite(layer, std::vector<std::uint8_t>(501, 'x'), {}, out, err); }),
        kExitBadInput);
    EXPECT_EQ(run([&] { return runSnWrite(layer, {}, {}, out, err); }), kExitBadInput);
    IdbWriteOptions elsewhere{"9-9", loader, false, true};
    EXPECT_EQ(run([&] { return runIdbWrite(elsewhere, noAnswers, out, err); }), kExitFailed);
    EXPECT_EQ(run([&] { return runSnRead(layer, out, err); }), kExitFailed);  // still blank

    EXPECT_EQ(parseHexBytes("0a FF:10"), (std::vector<std::uint8_t>{0x0A, 0xFF, 0x10}));
    EXPECT_EQ(parseMac("001A2B3C4D5E")[5], 0x5E);
    for (const char* bad : {"0", "0g", "12 3"})
        EXPECT_THROW(parseHexBytes(bad), std::invalid_argument) << bad;
    for (const char* bad : {"00:1A:2B:3C:4D", "00:1A:2B:3C:4D:5E:6F"})
        EXPECT_THROW(parseMac(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace cv50::cli
