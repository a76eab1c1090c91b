// cv50 flash against a loader on a simulated port.
#include "cli/cmd_flash.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/commands.h"
#include "engine/device/port_walk.h"
#include "sim/loader_endpoint.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Device;
using sim::testing::hub;
using sim::testing::ScenarioBuilder;

class FlashCommand : public ::testing::Test {
protected:
    // A loader on port 2 of a hub on port 1: Layer 1-2 (found by the walk, not assumed).
    void attach(const sim::NandSpec& nand) {
        std::vector<device::PortEntry> entries;
        device::EnumerateUsbPorts(entries);
        ASSERT_EQ(entries.size(), 1u);
        layer = entries[0].layer;
        world.sim().attachEndpoint(
            entries[0].devicePath,
            std::make_shared<sim::LoaderEndpoint>(std::make_shared<sim::LoaderMedia>(nand),
                                                  world.sim().clock()));
    }
    int run(bool json) { return runFlashReport(layer, json, out, err); }

    sim::testing::ScopedSim world{
        ScenarioBuilder().speed(1000).port(hub({nullptr, Device(0x071b, 0x3201, 0x0200)}))};
    std::string layer;
    std::ostringstream out, err;
};

TEST_F(FlashCommand, JsonShowsChipsBadBlocksAndThePlan) {
    sim::NandSpec nand;
    nand.chipMask = 0x05;
    nand.manufacturer = 2;
    nand.badBlocks = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 12}, {0, 700}, {2, 5}};
    attach(nand);
    ASSERT_EQ(run(true), kExitOk) << err.str();
    const auto j = nlohmann::json::parse(out.str());
    EXPECT_EQ(j["chips"].size(), 2u);
    EXPECT_EQ(j["chips"][1]["chip"], 2);
    EXPECT_EQ(j["chips"][1]["manufacturer"], "HYNIX");
    EXPECT_EQ(j["totalMB"], 256);
    EXPECT_EQ(j["testedBlocks"], 512);
    EXPECT_EQ(j["badBlocks"], nlohmann::json({0, 1, 2, 3, 4, 12}));  // 700 is past the test
    EXPECT_EQ(j["idBlocks"], nlohmann::json({5, 6, 7, 8, 9}));
    EXPECT_EQ(j["reserved"][0]["first"], 10);
    EXPECT_EQ(j["reserved"][0]["last"], 15);
    EXPECT_EQ(j["reserved"][1]["last"], 17);
}

TEST_F(FlashCommand, TextSaysWhenNoIdBlockPositionCanBePlanned) {
    sim::NandSpec nand;
    for (std::uint32_t b = 0; b < 199; ++b) nand.badBlocks.push_back({0, b});
    attach(nand);
    EXPECT_EQ(run(false), kExitFailed);
    EXPECT_NE(out.str().find("0     128        SAMSUNG"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("ID Block positions: none"), std::string::npos) << out.str();
}

TEST_F(FlashCommand, NoLoaderOnThePortOrNoAnswerIsAFailure) {
    layer = "9-9";
    EXPECT_EQ(run(false), kExitFailed);
    EXPECT_NE(err.str().find("no CorvUsb device on port 9-9"), std::string::npos);

    std::vector<device::PortEntry> entries;
    device::EnumerateUsbPorts(entries);
    layer = entries.at(0).layer;  // a device, but nothing answers its pipes
    err.str("");
    EXPECT_EQ(run(false), kExitFailed);
    EXPECT_NE(err.str().find("get flash info failed"), std::string::npos);
}

}  // namespace
}  // namespace cv50::cli
