// cv50 upgrade killed (SIGKILL) part way: the player's state folder holds what its flash held,
// whole and readable, and cv50 upgrade --repair takes the player from there to a working
// disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <thread>

#include "cli/tests/cv50_process.h"
#include "fwpkg/byte_source.h"
#include "fwpkg/fat_reader.h"
#include "sim/boot_rom/power_on.h"
#include "sim/nand.h"
#include "sim/nand_disk.h"
#include "sim/system_image.h"
#include "sim/testing/scenario_builder.h"

namespace cv50::cli {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::patternBytes;
using testing::cv50;
using testing::Outcome;

using Clock = std::chrono::steady_clock;

// Starts cv50 with `args` and the scenario named by CV50_SIM, its output into `output`.
pid_t spawnCv50(const std::string& scenario, const std::string& args, const std::string& output) {
    const std::string shell = "exec " + std::string(CV50_BINARY) + " " + args + " > " + output + " 2>&1";
    const char* argv[] = {"/bin/sh", "-c", shell.c_str(), nullptr};
    setenv("CV50_SIM", scenario.c_str(), 1);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
    unsetenv("CV50_SIM");
    return spawned == 0 ? pid : -1;
}

// What a kept state folder holds for the player on port 1, loaded as the simulator loads it.
struct KeptFlash {
    std::unique_ptr<sim::Nand> nand;
    bool layoutLoads = false;
    std::string error;
    std::vector<std::string> files;
};

KeptFlash loadKept(const std::string& folder) {
    KeptFlash kept;
    kept.nand = std::make_unique<sim::Nand>(sim::NandSpec{});
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        kept.files.push_back(entry.path().filename().string());
    const std::string base = folder + "/player-1";
    if (std::filesystem::exists(base + ".nand") && !kept.nand->load(base + ".nand", kept.error))
        return kept;
    sim::NandDisk disk(*kept.nand);
    kept.layoutLoads =
        !std::filesystem::exists(base + ".layout") || disk.loadLayout(base + ".layout", kept.error);
    return kept;
}

// The mode the kept flash starts the player in at power-on, as its boot ROM and loader decide:
// a disk with an ID Block and an image on the system disk, a loader with an ID Block only.
Mode powerOnMode(const sim::Nand& nand, std::optional<std::uint32_t>& systemVersion) {
    const auto booted = sim::acceptedIdBlock(nand);
    if (!booted) return Mode::MaskRom;
    sim::Nand copy = nand;
    sim::NandDisk disk(copy);
    disk.setLayout(sim::diskLayoutOf(booted->copy));
    sim::NandDiskPart systemDisk(disk, &sim::NandDisk::systemDisk);
    const auto image = sim::findSystemImage(systemDisk);
    if (!image) return Mode::Loader;
    systemVersion = image->systemVersion;
    return Mode::Msc;
}

std::optional<std::vector<std::uint8_t>> fileInVolume(const std::string& volume, const std::string& path) {
    auto source = fwpkg::FileSource::open(volume);
    std::unique_ptr<fwpkg::FatVolume> fat;
    fwpkg::FatEntry entry;
    if (!source || fwpkg::FatVolume::open(*source, fat) != fwpkg::FatError::Ok ||
        fat->find(path, entry) != fwpkg::FatError::Ok)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (fat->readFile(entry, [&](std::span<const std::uint8_t> piece) {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            return true;
        }) != fwpkg::FatError::Ok)
        return std::nullopt;
    return bytes;
}

// The last progress line of port 1 in cv50 upgrade's output.
std::string lastStep(const std::string& shown) {
    const std::size_t at = shown.rfind("port 1: ");
    if (at == std::string::npos) return "";
    return shown.substr(at, shown.find('\n', at) - at);
}

class KilledUpgrade : public ::testing::Test {
protected:
    void SetUp() override {
        image = testing::packedImage(folder);
        demo = folder.makeFolder("demo");
        sim::testing::writeFile(demo + "/Music/track01.mp3", track);
    }

    // A world of one player whose flash is kept in `state`, found in `mode`.
    std::string scenario(const std::string& name, const std::string& state, Mode mode,
                         double speed) const {
        const std::string path = folder.file(name + ".json");
        sim::testing::writeTextFile(path, ScenarioBuilder()
                                              .speed(speed)
                                              .state(state)
                                              .port(Player(mode).enumerateDelay(0.5))
                                              .text());
        return path;
    }

    std::string upgradeArgs(bool repair) const {
        return "upgrade " + image + " --yes --demo " + demo + (repair ? " --repair" : "");
    }

    sim::testing::TempFolder folder;
    std::string image, demo;
    const std::vector<std::uint8_t> track = patternBytes(70000, 7);
};

TEST_F(KilledUpgrade, TheStateFolderKeepsWhatTheFlashHeldAndTheRepairFinishes) {
    // Where to kill: once the upgrade has announced a step, after a pause. The image's
    // writes are all done once its progress passes 50% (the rest is the check), so a kill
    // well after 60% finds the image kept even while the check still runs.
    struct KillPoint {
        const char* after;
        int pauseMs;
        bool imageKept;
    };
    const KillPoint points[] = {
        {"port 1: download boot", 0, false},
        {"port 1: write ID Block", 0, false},
        {"port 1: download image 20%", 0, false},
        {"port 1: download image 60%", 250, true},
        // About when the format's pause of a second (a tenth here) ends: as the volume is written.
        {"port 1: format", 100, true},
    };
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> extraMs(0, 40);
    for (const KillPoint& point : points) {
        const int pauseMs = point.pauseMs + extraMs(random);
        const std::string name = "killed" + std::to_string(&point - points);
        const std::string where = name + ", " + std::to_string(pauseMs) + " ms after \"" +
                                  point.after + "\"";
        const std::string state = folder.file(name);
        const std::string output = folder.file(name + ".txt");
        const pid_t pid = spawnCv50(scenario(name, state, Mode::MaskRom, 10), upgradeArgs(false),
                                    output);
        ASSERT_GT(pid, 0);
        int raw = 0;
        bool ended = false;
        const auto giveUp = Clock::now() + std::chrono::seconds(60);
        while (!ended && Clock::now() < giveUp &&
               sim::testing::readTextFile(output).find(point.after) == std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ended = waitpid(pid, &raw, WNOHANG) == pid;
        }
        if (!ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            kill(pid, SIGKILL);
            ASSERT_EQ(waitpid(pid, &raw, 0), pid);
        }
        const std::string shown = sim::testing::readTextFile(output);
        ASSERT_TRUE(WIFSIGNALED(raw)) << where << ": the upgrade ended before the kill:\n" << shown;

        // Every file in the folder loads; the flash kept holds at least what the road wrote
        // before the player last left the bus (each announced step past the ID Block begins
        // after a reset), and what it wrote well before the kill.
        const KeptFlash kept = loadKept(state);
        ASSERT_TRUE(kept.error.empty()) << where << ": " << kept.error;
        EXPECT_TRUE(kept.layoutLoads) << where;
        std::optional<std::uint32_t> version;
        const Mode mode = powerOnMode(*kept.nand, version);
        if (shown.find("port 1: download image") != std::string::npos) {
            EXPECT_NE(mode, Mode::MaskRom) << where << ": the ID Block written is not kept\n"
                                           << shown;
        }
        if (point.imageKept) {
            EXPECT_EQ(mode, Mode::Msc) << where << ": the image written is not kept\n" << shown;
            EXPECT_EQ(version, 0x00010002u) << where;
        }

        // Plugged in again, the player starts as its flash says; the repair finishes the job.
        setenv("CV50_SIM", scenario(name + "-again", state, mode, 50).c_str(), 1);
        const Outcome repaired = cv50(upgradeArgs(true));
        setenv("CV50_SIM", scenario(name + "-disk", state, Mode::Msc, 50).c_str(), 1);
        const std::string volume = folder.file(name + ".vol");
        const Outcome saved = cv50("sim-volume --port 1 " + volume);
        const Outcome shownVersion = cv50("version --port 1");
        unsetenv("CV50_SIM");
        EXPECT_EQ(repaired.status, 0) << where << ":\n" << repaired.out;
        ASSERT_EQ(saved.status, 0) << where << ":\n" << saved.out;
        EXPECT_NE(shownVersion.out.find("system version: 0001.0002"), std::string::npos)
            << where << ":\n" << shownVersion.out;
        EXPECT_EQ(fileInVolume(volume, "Music/track01.mp3"), track) << where;
        std::printf("%s: last step shown \"%s\"; came back as %s; repaired: %s\n", where.c_str(),
                    lastStep(shown).c_str(),
                    mode == Mode::MaskRom ? "mask ROM" : mode == Mode::Loader ? "loader" : "disk",
                    repaired.status == 0 ? "yes" : "NO");
    }
}

}  // namespace
}  // namespace cv50::cli
