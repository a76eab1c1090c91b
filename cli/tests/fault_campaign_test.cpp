// The fault campaign: every fault the simulator can script, at the stages of cv50 upgrade's
// road where it can strike, on one player of two. For each: the run ends, that player ends
// with its message (or is upgraded when the road works around the fault), the other player
// is upgraded, and once the fault is gone a run with --repair brings the player back.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cmd_upgrade.h"
#include "cli/commands.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::Timing;

struct FaultRow {
    const char* fault;
    const char* stage;  // where it strikes
    std::function<Player()> player;
    // What the run reports for the player: its failed stage and message; both empty when
    // the road works around the fault.
    const char* failedStage;
    const char* message;
};

Player maskRom() { return Player(Mode::MaskRom); }
Player withFaults(const Faults& f) { return maskRom().faults(f); }

const std::vector<FaultRow>& campaign() {
    static const std::vector<FaultRow> rows = {
        {"command fails: TestUnitReady", "loader wait",
         [] { return withFaults(Faults().failCommand("TestUnitReady", 1)); }, "", ""},
        {"command fails: ReadFlashInfo", "ID Block",
         [] { return withFaults(Faults().failCommand("ReadFlashInfo", 1)); }, "write ID Block",
         "Error:Write ID_BLOCK failed"},
        {"command fails: ReadChipInfo", "ID Block",
         [] { return withFaults(Faults().failCommand("ReadChipInfo", 1)); }, "", ""},
        {"command fails: TestBadBlock", "ID Block",
         [] { return withFaults(Faults().failCommand("TestBadBlock", 1)); }, "", ""},
        {"command fails: EraseBlock", "ID Block",
         [] { return withFaults(Faults().failCommand("EraseBlock", 1)); }, "write ID Block",
         "Error:Write ID_BLOCK failed"},
        {"command fails: WriteSector", "ID Block",
         [] { return withFaults(Faults().failCommand("WriteSector", 1)); }, "", ""},
        {"command fails: ReadSector", "ID Block",
         [] { return withFaults(Faults().failCommand("ReadSector", 1)); }, "", ""},
        {"command fails: SetResetFlag", "reset",
         [] { return withFaults(Faults().failCommand("SetResetFlag", 1)); }, "", ""},
        {"command fails: ResetDevice", "reset",
         [] { return withFaults(Faults().failCommand("ResetDevice", 1)); }, "wait for loader",
         "Wait for Loader failed"},
        {"command fails: EraseSystemDisk", "image",
         [] { return withFaults(Faults().failCommand("EraseSystemDisk", 1)); }, "", ""},
        {"command fails: WriteLBA", "image",
         [] { return withFaults(Faults().failCommand("WriteLBA", 1)); }, "download image",
         "Error:Download Image Failed(-4)"},
        {"command fails: ReadLBA", "image check",
         [] { return withFaults(Faults().failCommand("ReadLBA", 1)); }, "download image",
         "Error:Download Image Failed(-8)"},
        {"erase fails", "ID Block", [] { return withFaults(Faults().eraseFails({8})); },
         "write ID Block", "Error:Write ID_BLOCK failed"},
        {"program fails", "ID Block", [] { return withFaults(Faults().programFails({8})); }, "",
         ""},
        {"read error", "image check",
         [] { return withFaults(Faults().readError(sim::testing::Place::lba(40))); },
         "download image", "Error:Download Image Failed(-8)"},
        {"flipped bit", "image check",
         [] { return withFaults(Faults().flipBit(sim::testing::Place::lba(40), 3, 1)); },
         "download image", "Error:Download Image Failed(-9)"},
        {"power cut", "ID Block", [] { return withFaults(Faults().powerCutAt(2)); },
         "write ID Block", "Error:Write ID_BLOCK failed"},
        {"power cut", "chip erase", [] { return withFaults(Faults().powerCutAt(200)); },
         "write ID Block", "Error:Write ID_BLOCK failed"},
        {"power cut", "image", [] { return withFaults(Faults().powerCutAt(1400)); },
         "download image", "Error:Download Image Failed(-4)"},
        {"never returns", "first reset", [] { return withFaults(Faults().neverReturnAt(1)); },
         "wait for loader", "Wait for Loader failed"},
        {"never returns", "second reset", [] { return withFaults(Faults().neverReturnAt(2)); },
         "reset", "Error:Wait msc device failed"},
        {"no answer", "first command", [] { return withFaults(Faults().noAnswerFrom(1)); },
         "test device", "Error:Test device failed"},
        {"no answer", "ID Block", [] { return withFaults(Faults().noAnswerFrom(40)); },
         "write ID Block", "Error:Write ID_BLOCK failed"},
        {"no answer", "image", [] { return withFaults(Faults().noAnswerFrom(250)); },
         "download image", "Error:Download Image Failed(-4)"},
        {"busy loader", "loader wait", [] { return maskRom().timing(Timing().busyMs(3000)); }, "",
         ""},
        {"busy loader, never ready", "loader wait",
         [] { return maskRom().timing(Timing().busyMs(600000)); }, "test device",
         "Error:Test device failed"},
        {"eject vetoed", "format", [] { return maskRom().ejectVetoes(1000); }, "", ""},
        {"volume never mounts", "format", [] { return maskRom().neverMounts(); }, "wait for disk",
         "Error:Get drive failed"},
    };
    return rows;
}

class FaultCampaign : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string loader = folder.file("CVBOOT.BIN");
        sim::testing::writeFile(loader, fwpkg::sampleLoaderFile());
        const std::string content = folder.file("content");
        sim::testing::writeFile(content + "/big.bin", sim::testing::patternBytes(256 << 10, 3));
        fwpkg::ImagePackInput input;
        input.loaderFile = loader;
        input.folder = content;
        input.tail = {0x00010002, 64, 16};
        image = folder.file("fw.img");
        fwpkg::packImage(input, image);
    }

    struct Run {
        int status = 0;
        nlohmann::json rows;
        std::uint64_t simulatedMs = 0;
        std::string output;
    };

    // One cv50 upgrade over `players`, their flash kept in `state`.
    Run upgrade(const std::vector<sim::testing::Json>& players, const std::string& state,
                bool repair) {
        sim::testing::ScopedSim world(ScenarioBuilder().speed(50).state(state).ports(players));
        world.sim().setTempFolder(folder.path() + "\\");
        UpgradeOptions o;
        o.image = image;
        o.yes = true;
        o.repair = repair;
        o.report = state + "/report-" + std::to_string(runs++) + ".json";
        std::istringstream in;
        std::ostringstream out, err;
        Run run;
        const std::uint64_t start = world.sim().tickMs();
        run.status = runUpgrade(o, in, out, err);
        run.simulatedMs = world.sim().tickMs() - start;
        run.output = out.str() + err.str();
        run.rows = nlohmann::json::parse(sim::testing::readTextFile(o.report));
        return run;
    }

    static const nlohmann::json* rowOf(const Run& run, const std::string& port) {
        for (const auto& r : run.rows)
            if (r["port"] == port) return &r;
        return nullptr;
    }

    sim::testing::TempFolder folder;
    std::string image;
    int runs = 0;
};

TEST_F(FaultCampaign, EveryFaultEndsItsPlayerAloneAndRepairBringsItBack) {
    const char* format = "%-30s | %-13s | %9s | %-58s | %s\n";
    char line[512];
    std::snprintf(line, sizeof line, format, "fault", "strikes in", "run ends", "message",
                  "recovered (found as)");
    std::string table = line;
    for (const FaultRow& row : campaign()) {
        SCOPED_TRACE(std::string(row.fault) + " in " + row.stage);
        const std::string state = folder.file("state-" + std::to_string(runs));
        const Run faulted = upgrade({row.player(), maskRom()}, state, false);
        const auto* player = rowOf(faulted, "1");
        const auto* other = rowOf(faulted, "2");
        ASSERT_TRUE(player && other) << faulted.rows.dump(1) << faulted.output;
        EXPECT_EQ((*other)["result"], "ok") << faulted.output;
        EXPECT_EQ((*player)["result"], *row.message ? "failed" : "ok") << faulted.output;
        EXPECT_EQ((*player)["failedStage"], row.failedStage) << faulted.output;
        EXPECT_EQ((*player)["message"], row.message) << faulted.output;
        EXPECT_LT(faulted.simulatedMs, 10u * 60 * 1000);

        // The fault is no longer scripted; the player comes up as the first run left it.
        const Run repaired = upgrade({Player::atPowerOn()}, state, true);
        const auto* back = rowOf(repaired, "1");
        ASSERT_TRUE(back) << repaired.output;
        EXPECT_EQ((*back)["result"], "ok") << repaired.output;
        EXPECT_EQ((*back)["versionAfter"], "0001.0002") << repaired.output;

        const std::string message = *row.message ? std::string(row.failedStage) + ": " + row.message
                                                 : std::string("(upgraded)");
        const std::string recovered = std::string((*back)["result"] == "ok" ? "yes" : "NO") + " (" +
                                      (*back)["mode"].get<std::string>() + ")";
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", faulted.simulatedMs / 1000.0);
        std::snprintf(line, sizeof line, format, row.fault, row.stage, seconds, message.c_str(),
                      recovered.c_str());
        table += line;
    }
    std::printf("%s", table.c_str());
}

}  // namespace
}  // namespace cv50::cli
