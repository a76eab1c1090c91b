// cv50 upgrade against simulated players: what it refuses, its summary and its exit status.
#include "cli/cmd_upgrade.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/commands.h"
#include "engine/device/search.h"
#include "engine/flash/boot_head.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;

class UpgradeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        const auto bytes = fwpkg::sampleLoaderFile();
        const std::string loader = folder.file("CVBOOT.BIN");
        sim::testing::writeFile(loader, bytes);
        fwpkg::ImagePackInput input;
        input.loaderFile = loader;
        input.tail = {0x00010002, 64, 16};
        image = folder.file("fw.img");
        fwpkg::packImage(input, image);
    }

    int run(const UpgradeOptions& o) {
        out.str("");
        err.str("");
        std::istringstream noAnswers;
        world->sim().setTempFolder(folder.path() + "\\");
        return runUpgrade(o, noAnswers, out, err);
    }

    std::unique_ptr<sim::testing::ScopedSim> world;
    sim::testing::TempFolder folder;
    std::string image;
    std::ostringstream out, err;
};

TEST_F(UpgradeCommand, RefusesBadInputBeforeTouchingAPlayer) {
    world = std::make_unique<sim::testing::ScopedSim>(
        ScenarioBuilder().speed(100).port(Player(Mode::MaskRom)));
    struct Case {
        const char* what;
        UpgradeOptions options;
    };
    UpgradeOptions missingImage;
    missingImage.image = folder.path() + "/none.img";
    UpgradeOptions badPartition;
    badPartition.image = image;
    badPartition.partition = "16:x";
    UpgradeOptions longLabel;
    longLabel.image = image;
    longLabel.label = "TWELVE_CHARS";
    UpgradeOptions missingDemo;
    missingDemo.image = image;
    missingDemo.demo = folder.path() + "/no-demo";
    UpgradeOptions badLog;
    badLog.image = image;
    badLog.logFolder = folder.path() + "/no-log-folder";
    for (const Case& c :
         {Case{"missing image", missingImage}, Case{"partition", badPartition},
          Case{"label", longLabel}, Case{"demo", missingDemo}, Case{"log", badLog}}) {
        EXPECT_EQ(run(c.options), kExitBadInput) << c.what;
        EXPECT_FALSE(err.str().empty()) << c.what;
    }
    // A named port without a player is a failure of its own.
    UpgradeOptions elsewhere;
    elsewhere.image = image;
    elsewhere.ports = {"9"};
    EXPECT_EQ(run(elsewhere), kExitFailed);
    EXPECT_NE(out.str().find("Error:No player found on this port"), std::string::npos) << out.str();
}

TEST_F(UpgradeCommand, ADamagedImageIsRefusedBeforeAnyPlayerUnlessToldOtherwise) {
    world = std::make_unique<sim::testing::ScopedSim>(
        ScenarioBuilder().speed(100).port(Player(Mode::MaskRom)));
    {
        std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(700);
        f.put('\x5A');  // a byte of the file system the check value no longer matches
    }
    UpgradeOptions o;
    o.image = image;
    EXPECT_EQ(run(o), kExitBadInput);
    EXPECT_NE(err.str().find("is damaged: its check value does not match"), std::string::npos)
        << err.str();
    EXPECT_EQ(out.str(), "");
    SEARCH_RESULT found{};
    EXPECT_EQ(device::Scan(&found, device::Walk::Usb20, device::Family::CorvUsb), 1);
    EXPECT_EQ(found.devices[0].type, MaskRom);  // untouched

    o.skipImageCheck = true;
    EXPECT_EQ(run(o), kExitOk) << out.str() << err.str();
}

TEST_F(UpgradeCommand, SummaryAndExitStatusFollowEveryPlayer) {
    // A blank player in mask ROM goes the whole road; a loader without ID Blocks cannot be
    // updated.
    world = std::make_unique<sim::testing::ScopedSim>(ScenarioBuilder().speed(100).ports(
        {Player(Mode::MaskRom).enumerateDelay(0.5), Player(Mode::Loader)}));
    UpgradeOptions o;
    o.image = image;
    o.yes = true;
    o.json = true;
    EXPECT_EQ(run(o), kExitFailed) << err.str();
    const auto summary = nlohmann::json::parse(out.str());
    EXPECT_EQ(summary["ok"], false);
    ASSERT_EQ(summary["players"].size(), 2u);
    EXPECT_EQ(summary["players"][0]["port"], "1");
    EXPECT_EQ(summary["players"][0]["result"], "ok");
    EXPECT_EQ(summary["players"][1]["port"], "2");
    EXPECT_EQ(summary["players"][1]["result"], "failed");
    EXPECT_EQ(summary["players"][1]["message"], "Error:Write ID_BLOCK failed");
    // Progress went to stderr, so stdout is the JSON alone.
    EXPECT_NE(err.str().find("port 1: download image"), std::string::npos) << err.str();

    // Only the player that can be upgraded: success. It is a disk now and goes again.
    o.ports = {"1"};
    o.json = false;
    EXPECT_EQ(run(o), kExitOk) << err.str() << out.str();
    EXPECT_NE(out.str().find("port 1: switch to loader"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("PORT  RESULT"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("port 2"), std::string::npos) << out.str();

    // On a terminal the port keeps one line, redrawn, ending with its overall percentage
    // near the end of the road (the wait for the disk, which this road ends with).
    o.liveProgress = true;
    EXPECT_EQ(run(o), kExitOk) << err.str() << out.str();
    const std::string shown = out.str();
    EXPECT_NE(shown.find("\x1b[2Kport 1: switch to loader; overall 0%"), std::string::npos)
        << shown;
    const std::size_t last = shown.rfind("; overall ");
    ASSERT_NE(last, std::string::npos) << shown;
    EXPECT_GE(std::stoi(shown.substr(last + 10)), 85) << shown;
}

}  // namespace
}  // namespace cv50::cli
