// cv50 upgrade's report, its serial-number options and its station mode (--wait), against
// simulated players.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <streambuf>

#include "cli/cmd_upgrade.h"
#include "cli/commands.h"
#include "engine/device/search.h"
#include "engine/os/os.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;

// Where the silent player of the station test stops: its commands as a loader, counted
// from its first (the 250th falls in the image download), and what the run then reports.
constexpr std::uint32_t kSilentFromCommand = 250;
constexpr const char* kSilentStage = "download image";
constexpr const char* kSilentMessage = "Error:Download Image Failed(-4)";

// The rows of a CSV report, each split at its commas (the test's texts hold none).
std::vector<std::vector<std::string>> csvRows(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(sim::testing::readTextFile(path));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream cells(line);
        while (std::getline(cells, field, ',')) fields.push_back(field);
        if (!line.empty() && line.back() == ',') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

// An output stream that hands every whole line to `onLine`, as it is written.
class LineWatch : public std::streambuf {
public:
    explicit LineWatch(std::function<void(const std::string&)> onLine)
        : onLine_(std::move(onLine)) {}

protected:
    int overflow(int c) override {
        if (c == '\n') {
            onLine_(line_);
            line_.clear();
        } else if (c != EOF) {
            line_ += static_cast<char>(c);
        }
        return c;
    }

private:
    std::function<void(const std::string&)> onLine_;
    std::string line_;
};

class UpgradeStation : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string loader = folder.file("CVBOOT.BIN");
        sim::testing::writeFile(loader, fwpkg::sampleLoaderFile());
        fwpkg::ImagePackInput input;
        input.loaderFile = loader;
        input.tail = {0x00010002, 64, 16};
        image = folder.file("fw.img");
        fwpkg::packImage(input, image);
    }

    void world(const ScenarioBuilder& scenario) {
        sim.reset();  // the world before goes first, putting back the backend it replaced
        sim = std::make_unique<sim::testing::ScopedSim>(scenario);
        sim->sim().setTempFolder(folder.path() + "\\");
    }

    UpgradeOptions options() const {
        UpgradeOptions o;
        o.image = image;
        o.yes = true;
        return o;
    }

    int run(const UpgradeOptions& o) {
        out.str("");
        err.str("");
        std::istringstream noAnswers;
        return runUpgrade(o, noAnswers, out, err);
    }

    sim::testing::TempFolder folder;
    std::unique_ptr<sim::testing::ScopedSim> sim;
    std::string image;
    std::ostringstream out, err;
};

TEST_F(UpgradeStation, RefusesReportAndSerialOptionsItCannotKeep) {
    world(ScenarioBuilder().speed(100).port(Player(Mode::MaskRom)));
    sim::testing::writeTextFile(folder.file("other.json"), "{\"not\": \"a list\"}");
    sim::testing::writeTextFile(folder.file("empty.txt"), "\n\n");
    struct Case {
        const char* what;
        std::string report, serial, message;
    } cases[] = {
        {"serial without report", "", "SN-{01}", "--serial needs --report"},
        {"report folder missing", folder.file("none/r.csv"), "", "cannot write"},
        {"report of another kind", folder.file("other.json"), "", "is not a JSON list"},
        {"pattern without number", folder.file("r.csv"), "SN-0001", "one number in braces"},
        {"pattern of two numbers", folder.file("r.csv"), "{1}-{2}", "one number in braces"},
        {"missing file", folder.file("r.csv"), "@" + folder.file("none.txt"), "cannot read"},
        {"file without numbers", folder.file("r.csv"), "@" + folder.file("empty.txt"),
         "holds no serial number"},
    };
    for (const Case& c : cases) {
        UpgradeOptions o = options();
        o.report = c.report;
        o.serial = c.serial;
        EXPECT_EQ(run(o), kExitBadInput) << c.what;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << c.what << ": " << err.str();
    }
    SEARCH_RESULT found{};
    ASSERT_EQ(device::Scan(&found, device::Walk::Usb20, device::Family::CorvUsb), 1);
    EXPECT_EQ(found.devices[0].type, MaskRom);  // untouched
}

TEST_F(UpgradeStation, ARowThatCannotBeWrittenIsNamedAndFailsTheRunLeavingTheReportWhole) {
    world(ScenarioBuilder().speed(100).port(Player(Mode::MaskRom)));
    UpgradeOptions o = options();
    o.report = folder.file("r.json");
    sim::testing::writeTextFile(o.report, "[]\n");
    // A folder where the new list would be written first.
    std::filesystem::create_directories(o.report + ".new");
    EXPECT_EQ(run(o), kExitFailed) << err.str() << out.str();
    EXPECT_NE(err.str().find("the row of port 1 could not be written to " + o.report),
              std::string::npos)
        << err.str();
    EXPECT_EQ(sim::testing::readTextFile(o.report), "[]\n");
}

TEST_F(UpgradeStation, ReportHasARowPerPlayerAndGrowsOverRuns) {
    for (const char* name : {"report.csv", "report.json"}) {
        SCOPED_TRACE(name);
        // A blank player; a loader and a disk, neither with ID Blocks to update (they fail).
        world(ScenarioBuilder().speed(100).ports(
            {Player(Mode::MaskRom), Player(Mode::Loader),
             Player(Mode::Msc).loaderVersion(2, 16).systemVersion(3, 1)}));
        UpgradeOptions o = options();
        o.report = folder.file(name);
        EXPECT_EQ(run(o), kExitFailed) << err.str() << out.str();
        o.ports = {"1"};
        EXPECT_EQ(run(o), kExitOk) << err.str() << out.str();

        struct Row {
            std::string port, mode, versionBefore, versionAfter, result, stage, message;
        };
        std::vector<Row> rows;
        if (std::string(name).ends_with(".json")) {
            for (const auto& r : nlohmann::json::parse(sim::testing::readTextFile(o.report))) {
                rows.push_back({r["port"], r["mode"], r["versionBefore"], r["versionAfter"],
                                r["result"], r["failedStage"], r["message"]});
                EXPECT_GT(r["seconds"].get<double>(), 0.0);
            }
        } else {
            const auto csv = csvRows(o.report);
            ASSERT_FALSE(csv.empty());
            EXPECT_EQ(csv[0][0], "port");  // one header, above the rows of both runs
            for (std::size_t i = 1; i < csv.size(); ++i) {
                ASSERT_EQ(csv[i].size(), 9u) << i;
                rows.push_back(
                    {csv[i][0], csv[i][1], csv[i][3], csv[i][4], csv[i][5], csv[i][6], csv[i][7]});
            }
        }
        ASSERT_EQ(rows.size(), 4u) << sim::testing::readTextFile(o.report);
        SCOPED_TRACE(sim::testing::readTextFile(o.report));
        // As the players ended: the two without ID Blocks fail before the blank one is done.
        std::map<std::string, Row> failures{{rows[0].port, rows[0]}, {rows[1].port, rows[1]}};
        EXPECT_EQ(failures["2"].mode, "Loader");
        EXPECT_EQ(failures["3"].mode, "Msc");
        EXPECT_EQ(failures["3"].versionBefore, "0003.0001");
        for (const char* port : {"2", "3"}) {
            EXPECT_EQ(failures[port].result, "failed") << port;
            EXPECT_EQ(failures[port].stage, "write ID Block") << port;
            EXPECT_EQ(failures[port].message, "Error:Write ID_BLOCK failed") << port;
            EXPECT_EQ(failures[port].versionAfter, "") << port;
        }
        EXPECT_EQ(rows[2].port, "1");
        EXPECT_EQ(rows[2].mode, "MaskRom");
        EXPECT_EQ(rows[2].result, "ok");
        EXPECT_EQ(rows[2].stage, "");
        EXPECT_EQ(rows[2].versionBefore, "");
        EXPECT_EQ(rows[2].versionAfter, "0001.0002");  // the image's
        // The second run found player 1 as the disk the first one left.
        EXPECT_EQ(rows[3].port, "1");
        EXPECT_EQ(rows[3].mode, "Msc");
        EXPECT_EQ(rows[3].versionBefore, "0001.0002");
        EXPECT_EQ(rows[3].result, "ok");
    }
}

// One player of sixteen stays on the bus but stops answering in the middle of its road: it
// costs its own slot within the bounds of its transfers, and the fifteen others are upgraded.
TEST_F(UpgradeStation, APlayerThatStopsAnsweringCostsOnlyItsOwnSlot) {
    std::vector<sim::testing::Json> players;
    for (int i = 0; i < 16; ++i) {
        Player p(Mode::MaskRom);
        if (i == 6) p.faults(sim::testing::Faults().noAnswerFrom(kSilentFromCommand));
        players.push_back(p);
    }
    world(ScenarioBuilder().speed(50).ports({sim::testing::hub(players)}));
    UpgradeOptions o = options();
    o.report = folder.file("report.json");
    EXPECT_EQ(run(o), kExitFailed) << err.str() << out.str();

    const auto rows = nlohmann::json::parse(sim::testing::readTextFile(o.report));
    ASSERT_EQ(rows.size(), 16u) << rows.dump(1);
    std::set<std::string> upgraded;
    for (const auto& r : rows) {
        if (r["result"] == "ok") {
            upgraded.insert(r["port"].get<std::string>());
            continue;
        }
        EXPECT_EQ(r["port"], "1-7") << r.dump();  // the hub's seventh port
        EXPECT_EQ(r["failedStage"], kSilentStage) << r.dump();
        EXPECT_EQ(r["message"], kSilentMessage) << r.dump();
    }
    EXPECT_EQ(upgraded.size(), 15u) << rows.dump(1);
    EXPECT_EQ(upgraded.count("1-7"), 0u);
    // The silent player was not asked again and again: a few bounds waited out, not the
    // hundreds of a road that asks on after a transfer ran out.
    const std::uint64_t waitedMs = sim->sim().msWaitedOnSilentDevices();
    EXPECT_GT(waitedMs, 0u);
    EXPECT_LT(waitedMs, 60u * 1000) << waitedMs;
}

TEST_F(UpgradeStation, OnlyFormatAndDemoTouchTheDisk) {
    world(ScenarioBuilder().speed(100).port(Player(Mode::MaskRom)));
    const auto volume = [&](const std::string& name) {
        std::string error;
        EXPECT_TRUE(sim->sim().saveVolumeImageOfLayer("1", folder.file(name), error)) << error;
        return sim::testing::readFile(folder.file(name));
    };
    sim::testing::writeFile(folder.file("Demo/Music/track01.mp3"),
                            sim::testing::patternBytes(70000, 1));
    UpgradeOptions o = options();
    o.demo = folder.file("Demo");
    ASSERT_EQ(run(o), kExitOk) << err.str() << out.str();
    const auto withDemo = volume("demo.img");

    // The road that ends at the disk leaves the user's files as they are, byte for byte.
    o.demo.clear();
    ASSERT_EQ(run(o), kExitOk) << err.str() << out.str();
    const auto untouched = volume("untouched.img");
    ASSERT_EQ(untouched.size(), withDemo.size());
    EXPECT_TRUE(untouched == withDemo) << "the user volume changed";

    o.format = true;
    ASSERT_EQ(run(o), kExitOk) << err.str() << out.str();
    EXPECT_FALSE(volume("formatted.img") == withDemo) << "the disk was not formatted";
}

TEST_F(UpgradeStation, SerialNumbersFromAFileRunOutWithoutRepeating) {
    world(ScenarioBuilder().speed(100).ports(
        {Player(Mode::MaskRom), Player(Mode::MaskRom), Player(Mode::MaskRom)}));
    const std::string serials = folder.file("serials.txt");
    sim::testing::writeTextFile(serials, "A-17\r\n\nB-18\n");
    UpgradeOptions o = options();
    o.report = folder.file("report.csv");
    o.serial = "@" + serials;
    EXPECT_EQ(run(o), kExitFailed) << err.str() << out.str();
    auto rows = csvRows(o.report);
    ASSERT_EQ(rows.size(), 4u) << sim::testing::readTextFile(o.report);
    std::map<std::string, int> given;
    int failed = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][5] == "failed") {
            ++failed;
            EXPECT_EQ(rows[i][2], "");
            EXPECT_EQ(rows[i][6], "write ID Block");
            EXPECT_EQ(rows[i][7], "Error:No serial number left to write");
        } else {
            ++given[rows[i][2]];
        }
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(given, (std::map<std::string, int>{{"A-17", 1}, {"B-18", 1}}));
}

TEST_F(UpgradeStation, WaitUpgradesEachPlayerPluggedAndEndsAfterTheRunningOnes) {
    // Three players plugged one after the other; the operator presses Ctrl-C while the
    // last one is writing its image.
    world(ScenarioBuilder().speed(100).ports({Player(Mode::MaskRom),
                                              Player(Mode::MaskRom).absent().plugAt(30),
                                              Player(Mode::MaskRom).absent().plugAt(60)}));
    std::atomic<bool> interrupt{false};
    LineWatch watch([&](const std::string& line) {
        if (line.starts_with("port 3: download image")) interrupt = true;
    });
    std::ostream watched(&watch);
    UpgradeOptions o = options();
    o.wait = true;
    o.interrupt = &interrupt;
    o.report = folder.file("station.csv");
    o.serial = "ST-{001}";
    std::istringstream noAnswers;
    const int status = runUpgrade(o, noAnswers, watched, err);
    EXPECT_EQ(status, kExitOk) << err.str();
    EXPECT_TRUE(interrupt);

    auto rows = csvRows(o.report);
    ASSERT_EQ(rows.size(), 4u) << sim::testing::readTextFile(o.report);
    // A slow machine may take two of them in one batch, so they may end in either order.
    std::sort(rows.begin() + 1, rows.end());
    std::set<std::string> serials;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i][0], std::to_string(i));
        EXPECT_EQ(rows[i][5], "ok");
        serials.insert(rows[i][2]);
    }
    EXPECT_EQ(serials, (std::set<std::string>{"ST-001", "ST-002", "ST-003"}));
    // The last one was not cut off: it ended as a disk.
    SEARCH_RESULT disks{};
    device::Scan(&disks, device::Walk::Usb20, device::Family::CorvMsc);
    EXPECT_EQ(disks.count, 3);
}

}  // namespace
}  // namespace cv50::cli

namespace cv50::cli {
namespace {

TEST_F(UpgradeStation, WaitTakesAPlayerSwappedInWhileTheOthersOfItsBatchGoOn) {
    // Port 1's player fails early (no ID Blocks to update) and is swapped for a blank one
    // while port 2's is still on its road (until about 18 s); the new one is upgraded after
    // that batch. The swap comes late enough that a slow first monitor pass still sees the
    // first player.
    world(ScenarioBuilder().speed(20).ports(
        {Player(Mode::Loader).unplugAt(8).plugAt(10, Mode::MaskRom), Player(Mode::MaskRom)}));
    std::atomic<bool> interrupt{false};
    int failures = 0;
    LineWatch watch([&](const std::string& line) {
        // The new player writing its image; or, should it be mistaken for the old one, its
        // failure, so that the test ends either way.
        if (line.starts_with("port 1: download image")) interrupt = true;
        if (line.starts_with("port 1: failed") && ++failures == 2) interrupt = true;
    });
    std::ostream watched(&watch);
    UpgradeOptions o = options();
    o.wait = true;
    o.interrupt = &interrupt;
    o.report = folder.file("swap.csv");
    std::istringstream noAnswers;
    EXPECT_EQ(runUpgrade(o, noAnswers, watched, err), kExitFailed) << err.str();

    auto rows = csvRows(o.report);
    ASSERT_EQ(rows.size(), 4u) << sim::testing::readTextFile(o.report);
    std::multiset<std::string> seen;
    for (std::size_t i = 1; i < rows.size(); ++i) seen.insert(rows[i][0] + " " + rows[i][5]);
    EXPECT_EQ(seen, (std::multiset<std::string>{"1 failed", "1 ok", "2 ok"}))
        << sim::testing::readTextFile(o.report);
    EXPECT_EQ(rows[3][0] + " " + rows[3][5], "1 ok");  // the new player, last
}

}  // namespace
}  // namespace cv50::cli
