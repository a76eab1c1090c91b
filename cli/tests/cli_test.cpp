// The cv50 program as a user runs it: output, JSON and exit statuses.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "cli/tests/cv50_process.h"
#include "sim/testing/hostile_files.h"
#include "sim/testing/scoped_sim.h"

namespace {

using cv50::sim::testing::Device;
using cv50::sim::testing::hub;
using cv50::sim::testing::Mode;
using cv50::sim::testing::Player;
using cv50::sim::testing::ScenarioBuilder;

using cv50::cli::testing::cv50;
using cv50::cli::testing::Outcome;
using cv50::cli::testing::packedImage;

class Cli : public ::testing::Test {
protected:
    // The path of a scenario file of `text`.
    std::string scenario(const std::string& text) {
        const std::string path = folder.file("world" + std::to_string(files++) + ".json");
        cv50::sim::testing::writeTextFile(path, text);
        return path;
    }
    std::string scenario(const ScenarioBuilder& world) { return scenario(world.text()); }
    cv50::sim::testing::TempFolder folder;
    int files = 0;
};

TEST_F(Cli, ListJsonHasOneObjectPerPortEntryWithKindAndLetter) {
    const std::string world = scenario(ScenarioBuilder().speed(50).ports(
        {Player(Mode::Msc), hub({nullptr, Player(Mode::MaskRom)}), Device(1, 2, 3)}));
    const Outcome r = cv50("--sim " + world + " list --json");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["layer"], "1");
    EXPECT_EQ(json[0]["kind"], "Msc");
    EXPECT_EQ(json[0]["driveLetter"], "D");
    EXPECT_EQ(json[0]["vid"], 0x071b);
    EXPECT_EQ(json[1]["layer"], "2-2");
    EXPECT_EQ(json[1]["kind"], "MaskRom");
    EXPECT_EQ(json[1]["bcdUSB"], 0x0200);
    EXPECT_TRUE(json[1]["driveLetter"].is_null());
    EXPECT_TRUE(json[2]["kind"].is_null());
    EXPECT_EQ(json[2]["pid"], 2);
    const std::string path = json[0]["devicePath"];
    EXPECT_EQ(path.rfind("\\\\?\\USB#VID_071B&PID_3203#", 0), 0u) << path;
}

TEST_F(Cli, ListAllFindsTheUsb11Player) {
    const std::string world = scenario(ScenarioBuilder().usb11Controller({Player()}));
    EXPECT_EQ(cv50("--sim " + world + " list").out, "");
    EXPECT_NE(cv50("--sim " + world + " list --all").out.find("Loader"), std::string::npos);
}

TEST_F(Cli, WaitExitsZeroWhenThePlayerComesAndOneOnTimeout) {
    const std::string world =
        scenario(ScenarioBuilder().speed(50).port(Player(Mode::Msc).switchAt(1, Mode::Loader)));
    EXPECT_EQ(cv50("--sim " + world + " wait --port 1 --kind Loader --timeout 5").status, 0);
    EXPECT_EQ(cv50("--sim " + world + " wait --port 1 --kind MaskRom --timeout 1").status, 1);
    EXPECT_EQ(cv50("--sim " + world + " wait --port 1 --kind Phone").status, 2);
    EXPECT_EQ(cv50("--sim " + world + " wait --port 1-2-3-4-5-6-7-8-9-10 --kind Msc").status, 2);
}

TEST_F(Cli, BadScenarioGivesOneErrorNamingTheFileAndStatus2) {
    struct Case {
        const char* text;
        const char* problem;
    } cases[] = {
        {"{\"controllers\": [", "not valid JSON"},
        {R"({"controllers": [{"ports": [{"printer": {}}]}]})", "unknown port entry \"printer\""},
        {R"({"controllers": [{"usb": 2, "ports": []}]})", "expected a string"},
    };
    for (const Case& c : cases) {
        const std::string world = scenario(c.text);
        const Outcome r = cv50("--sim " + world + " list");
        EXPECT_EQ(r.status, 2) << c.text;
        EXPECT_EQ(r.out.rfind("cv50: " + world + ": ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(c.problem), std::string::npos) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
    const Outcome missing = cv50("--sim " + folder.path() + "/none.json list");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("cannot open the scenario file"), std::string::npos);
}

TEST_F(Cli, HostileScenarioFilesAreRefusedWithTheirFileOrRun) {
    namespace testing = cv50::sim::testing;
    const std::string good = R"({"speed": 50, "controllers": [{"ports": [{"player": {}}]}]})";
    const std::string player =
        R"({"speed": 50, "controllers": [{"ports": [{"player": {"mode": "msc", )";
    const std::string longText(testing::kHostileValueLength, 'A');
    const std::vector<std::uint8_t> garbage = testing::patternBytes(4096, 3);
    struct Case {
        const char* kind;
        std::string text;
        const char* problem;  // nullptr: the world runs and lists its player
    } cases[] = {
        {"an empty file", "", "not valid JSON"},
        {"binary garbage", std::string(garbage.begin(), garbage.end()), "not valid JSON"},
        {"invalid UTF-8 in a string", "{\"state\": \"\xC0\x80\", \"controllers\": []}",
         "not valid JSON"},
        {"UTF-16 with its byte-order mark", testing::utf16File(u"{\"controllers\": []}"),
         "not valid JSON"},
        {"no \"controllers\"", R"({"speed": 5})", "missing \"controllers\""},
        {"arrays nested 100 000 deep",
         std::string(100000, '[') + std::string(100000, ']'), "expected an object"},
        {"names and ids of 100 000 characters",
         player + "\"diskId\": \"" + longText + "\", \"friendlyName\": \"" + longText +
             "\"}}]}]}",
         nullptr},
        {"a long line of blanks", std::string(testing::kHostileLineLength, ' ') + good,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string world = scenario(c.text);
        const Outcome r = cv50("--sim " + world + " list");
        if (c.problem == nullptr) {
            EXPECT_EQ(r.status, 0) << r.out.substr(0, 300);
            EXPECT_EQ(r.out.rfind("1 ", 0), 0u) << r.out.substr(0, 300);
            continue;
        }
        EXPECT_EQ(r.status, 2) << r.out.substr(0, 300);
        EXPECT_EQ(r.out.rfind("cv50: " + world + ": ", 0), 0u) << r.out.substr(0, 300);
        EXPECT_NE(r.out.find(c.problem), std::string::npos) << r.out.substr(0, 300);
    }
}

TEST_F(Cli, ScenarioComesFromTheEnvironmentWhenNotGiven) {
    const std::string world = scenario(ScenarioBuilder().ports({nullptr, nullptr, Player()}));
    const Outcome r = cv50("list --json");  // the built-in sample
    const Outcome env = [&] {
        setenv("CV50_SIM", world.c_str(), 1);
        Outcome result = cv50("list --json");
        unsetenv("CV50_SIM");
        return result;
    }();
    EXPECT_NE(r.out, env.out);
    EXPECT_EQ(nlohmann::json::parse(env.out)[0]["layer"], "3");
}

// A disk on port 1 and a loader on port 2.
const ScenarioBuilder kDiskAndLoader = ScenarioBuilder().speed(50).ports(
    {Player(Mode::Msc).loaderVersion(2, 16).systemVersion(3, 1), Player(Mode::Loader)});

TEST_F(Cli, VersionShowsTheDisksVersionsAndRefusesALoader) {
    const std::string world = scenario(kDiskAndLoader);
    const Outcome r = cv50("--sim " + world + " version --port 1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "loader version: 0002.0010\nsystem version: 0003.0001\n");
    const Outcome loader = cv50("--sim " + world + " version --port 2");
    EXPECT_EQ(loader.status, 1);
    EXPECT_NE(loader.out.find("no disk (CorvMsc) on port 2"), std::string::npos) << loader.out;
}

TEST_F(Cli, SwitchWaitsForTheDiskToAnswerAsLoader) {
    const std::string world = scenario(kDiskAndLoader);
    const Outcome r = cv50("--sim " + world + " switch --port 1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("Loader on port 1: \\\\?\\USB#VID_071B&PID_3201#", 0), 0u) << r.out;
    EXPECT_EQ(cv50("--sim " + world + " switch --port 2").status, 1);
}

TEST_F(Cli, ImageWriteShowsBytesWrittenThenCheckedAndFailsWithTheReason) {
    // The loader's disk lies where its ID Block lays it out: one run writes the ID Block, and
    // the player is found with it by the next.
    const std::string world = scenario(ScenarioBuilder()
                                           .speed(50)
                                           .state(folder.file("state"))
                                           .ports({Player(Mode::Msc), Player(Mode::Loader)}));
    const std::string loader = folder.path() + "/CVBOOT.BIN";
    ASSERT_EQ(cv50("loader sample " + folder.path() + "/pieces").status, 0);
    ASSERT_EQ(cv50("loader pack --pieces " + folder.path() + "/pieces -o " + loader).status, 0);
    const Outcome idb = cv50("--sim " + world + " idb write --port 2 --loader " + loader);
    ASSERT_EQ(idb.status, 0) << idb.out;
    const auto image = [&](std::size_t size) {
        const std::string path = folder.file(std::to_string(size) + ".img");
        cv50::sim::testing::writeFile(path, cv50::sim::testing::patternBytes(size, 0));
        return path;
    };
    const Outcome r = cv50("--sim " + world + " image write --port 2 " + image(5 * 16384 + 32));
    ASSERT_EQ(r.status, 0) << r.out;
    const auto written =
        r.out.find("Written  [########################################] 100%  80.0 / 80.0 KiB");
    const auto checked =
        r.out.find("Checked  [########################################] 100%  80.0 / 80.0 KiB");
    ASSERT_NE(written, std::string::npos) << r.out;
    ASSERT_NE(checked, std::string::npos) << r.out;
    EXPECT_LT(written, checked);
    EXPECT_NE(r.out.find("Image written and checked: 81920 bytes on port 2\n"), std::string::npos);

    const Outcome bad = cv50("--sim " + world + " image write --port 2 " + image(16384 + 544));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("a 32-byte check value (-5)"), std::string::npos) << bad.out;
    const Outcome disk = cv50("--sim " + world + " image write --port 1 " + image(512));
    EXPECT_EQ(disk.status, 1);
    EXPECT_NE(disk.out.find("runs as a disk; switch it first"), std::string::npos) << disk.out;
}

TEST_F(Cli, DiskCommandArgumentErrorsGiveStatus2) {
    const std::string world = scenario(kDiskAndLoader);
    struct Case {
        std::string args, message;
    } cases[] = {
        {"version", "--port is required"},
        {"switch --port 1-2-3-4-5-6-7-8-9-10", "a Layer has 1 to 19 characters"},
        {"image write --port 2", "IMAGE is required"},
        {"image write --port 2 " + folder.path() + "/none.img", "no image file"},
        {"format --port 1 --label TWELVE_CHARS", "a volume label has at most 11 characters"},
        {"format --port 1 --copy " + folder.path() + "/none", "--copy: nothing at"},
    };
    for (const Case& c : cases) {
        const Outcome r = cv50("--sim " + world + " " + c.args);
        EXPECT_EQ(r.status, 2) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << ": " << r.out;
    }
    EXPECT_EQ(cv50("--sim " + world + " format --port 2").status, 1);  // a loader, not a disk
}

TEST_F(Cli, EveryPortOptionRefusesALayerTooLongForADeviceRecord) {
    const std::string world = scenario(kDiskAndLoader);
    const std::string tooLong = " --port 1-2-3-4-5-6-7-8-9-10";
    for (const std::string command :
         {"flash", "idb write --loader x.bin", "idb erase", "sn read", "sn write ABC", "version",
          "switch", "image write x.img", "format", "wait --kind Msc", "upgrade x.img",
          "sim-volume out.img"}) {
        const Outcome r = cv50("--sim " + world + " " + command + tooLong);
        EXPECT_EQ(r.status, 2) << command << ": " << r.out;
        EXPECT_NE(r.out.find("a Layer has 1 to 19 characters"), std::string::npos)
            << command << ": " << r.out;
    }
}

// The serial-number column of a CSV report, by port, in the order of its rows.
std::vector<std::pair<std::string, std::string>> serialsOf(const std::string& report) {
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(cv50::sim::testing::readTextFile(report));
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::string port, mode, serial;
        std::getline(cells, port, ',');
        std::getline(cells, mode, ',');
        std::getline(cells, serial, ',');
        out.emplace_back(port, serial);
    }
    return out;
}

TEST_F(Cli, UpgradeSerialNumbersAreNeverGivenTwiceAcrossRunsAndReadBack) {
    // Two players whose flash is kept between the runs, found as the scenario says: blank in
    // their mask ROM, then as the disks the first run left, then in their loader.
    const auto world = [&](Mode mode) {
        return scenario(ScenarioBuilder()
                            .speed(50)
                            .state(folder.file("state"))
                            .ports({Player(mode), Player(mode)}));
    };
    const std::string image = packedImage(folder);
    const std::string report = folder.file("serials.csv");
    const std::string upgrade =
        " upgrade " + image + " --yes --report " + report + " --serial SN2026-{0001}";
    const Outcome first = cv50("--sim " + world(Mode::MaskRom) + upgrade);
    ASSERT_EQ(first.status, 0) << first.out;
    const Outcome second = cv50("--sim " + world(Mode::Msc) + upgrade);
    ASSERT_EQ(second.status, 0) << second.out;

    const auto rows = serialsOf(report);
    ASSERT_EQ(rows.size(), 4u) << cv50::sim::testing::readTextFile(report);
    std::vector<std::string> given;
    for (const auto& [port, serial] : rows) given.push_back(serial);
    std::vector<std::string> expected{"SN2026-0001", "SN2026-0002", "SN2026-0003", "SN2026-0004"};
    std::sort(given.begin(), given.end());
    EXPECT_EQ(given, expected);
    // Each run numbered its own players.
    EXPECT_LT(std::max(rows[0].second, rows[1].second), std::min(rows[2].second, rows[3].second));

    // Each player holds the number of the last run, as its loader reads it.
    const std::string loaders = world(Mode::Loader);
    for (std::size_t i = 2; i < 4; ++i) {
        const Outcome read = cv50("--sim " + loaders + " sn read --port " + rows[i].first);
        EXPECT_EQ(read.status, 0) << read.out;
        EXPECT_NE(read.out.find("Text: " + rows[i].second + "\n"), std::string::npos) << read.out;
    }
}

TEST_F(Cli, UpgradeWaitEndsCleanlyOnCtrlC) {
    const std::string world = scenario(ScenarioBuilder().speed(50).port(Player(Mode::MaskRom)));
    const std::string image = packedImage(folder);
    const std::string report = folder.file("station.csv");
    const std::string output = folder.file("out.txt");
    const std::string command = std::string(CV50_BINARY) + " --sim " + world + " upgrade " + image +
                                " --yes --wait --report " + report + " > " + output + " 2>&1";
    // exec: the shell becomes cv50, so the signal reaches it.
    const std::string shell = "exec " + command;
    const char* argv[] = {"/bin/sh", "-c", shell.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    // Once the player is reported, Ctrl-C.
    for (int i = 0; i < 600 && serialsOf(report).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(serialsOf(report).size(), 1u);
    kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal, not cleanly";
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    const std::string shown = cv50::sim::testing::readTextFile(output);
    EXPECT_NE(shown.find("PORT  RESULT"), std::string::npos) << shown;
}

TEST_F(Cli, HelpOnEveryCommand) {
    for (const char* args : {"--help", "list --help", "wait --help", "version --help",
                             "switch --help", "format --help", "image write --help"}) {
        const Outcome r = cv50(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << args;
    }
}

}  // namespace
