// A serial number and MAC address survive, byte for byte, every cv50 command that keeps the
// ID Block: as cv50 sn read shows them and as every ID Block copy on the flash holds them.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/commands.h"
#include "cli/tests/player_checks.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "fwpkg/packer.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Mode;
using sim::testing::Nand;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::patternBytes;

// 64 MiB of 32 KiB blocks: a user disk just large enough for FAT32, and every rewrite of a
// FAT sector a small block to erase and program again.
const Nand kNand = Nand().chipSectors(131072).blockSectors(64);

// Runs one cv50 command line as the program does, on the installed backend; its output
// goes to `shown`.
int cv50(const std::vector<std::string>& args, std::string& shown) {
    CLI::App app{"cv50"};
    app.require_subcommand(1);
    Action action;
    addListCommand(app, action);
    addWaitCommand(app, action);
    addImageCommand(app, action);
    addFlashCommand(app, action);
    addIdbCommand(app, action);
    addSnCommand(app, action);
    addDiskCommands(app, action);
    addUpgradeCommand(app, action);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    std::ostringstream out, err;
    std::streambuf* coutWas = std::cout.rdbuf(out.rdbuf());
    std::streambuf* cerrWas = std::cerr.rdbuf(err.rdbuf());
    int status = kExitBadInput;
    try {
        app.parse(reversed);
        status = action ? action() : kExitOk;
    } catch (const CLI::ParseError& e) {
        err << e.what() << "\n";
    }
    std::cout.rdbuf(coutWas);
    std::cerr.rdbuf(cerrWas);
    shown = out.str() + err.str();
    return status;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        s += two;
    }
    return s;
}

// The value of the line "key: value" in `text`, or "" without one.
std::string lineValue(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ": ", 0) == 0) return line.substr(key.size() + 2);
    return "";
}

class SerialSurvival : public ::testing::Test {
protected:
    void SetUp() override {
        log::disable();
        loader = folder.file("loader.bin");
        sim::testing::writeFile(loader, fwpkg::sampleLoaderFile());
        fwpkg::ImagePackInput input;
        input.loaderFile = loader;
        input.tail = {0x00010002, 4, 8};
        image = folder.file("fw.img");
        fwpkg::packImage(input, image);
        demo = folder.makeFolder("demo");
        sim::testing::writeFile(demo + "/Music/track01.mp3", patternBytes(70000, 3));
    }

    std::unique_ptr<sim::testing::ScopedSim> world(const std::string& state, Mode mode) const {
        auto w = std::make_unique<sim::testing::ScopedSim>(
            ScenarioBuilder().speed(100).state(state).port(
                Player(mode).enumerateDelay(0.5).nand(kNand)));
        w->sim().setTempFolder(folder.path() + "\\");
        return w;
    }

    // A player that went the whole road once, then got the serial number and MAC; its
    // flash is kept in `state`.
    void prepare(const std::string& state) const {
        auto w = world(state, Mode::MaskRom);
        std::string shown;
        ASSERT_EQ(cv50({"upgrade", image, "--yes", "--format"}, shown), kExitOk) << shown;
        ASSERT_EQ(cv50({"switch", "--port", "1"}, shown), kExitOk) << shown;
        ASSERT_EQ(cv50({"sn", "write", "--port", "1", "--hex", hexOf(sn), "--mac", macText},
                       shown),
                  kExitOk)
            << shown;
    }

    // What the player's ID Block holds, read back as cv50 sn read shows it (switched to its
    // loader first when it runs as a disk) and as each copy on the flash holds it.
    void expectKept(sim::testing::ScopedSim& w, const std::string& flow) const {
        std::string shown;
        if (testing::modeName(w.sim()) == "disk") {
            ASSERT_EQ(cv50({"switch", "--port", "1"}, shown), kExitOk) << flow << ": " << shown;
        }
        ASSERT_EQ(cv50({"sn", "read", "--port", "1"}, shown), kExitOk) << flow << ": " << shown;
        EXPECT_EQ(lineValue(shown, "Serial number"), std::to_string(sn.size()) + " bytes") << flow;
        EXPECT_EQ(lineValue(shown, "Hex"), hexOf(sn)) << flow;
        EXPECT_EQ(lineValue(shown, "MAC"), macText) << flow;

        const auto copies = w.sim().withWorld(
            [](sim::UsbWorld& u) { return testing::idBlockSerials(u.players()[0]->media->nand); });
        EXPECT_EQ(copies.size(), 5u) << flow;
        for (const testing::StoredSerial& c : copies) {
            EXPECT_EQ(c.sn, sn) << flow;
            EXPECT_EQ(c.mac, mac) << flow;
        }
    }

    sim::testing::TempFolder folder;
    std::string loader, image, demo;
    // The longest serial number, with every byte value the scrambler and BCH code see.
    const std::vector<std::uint8_t> sn = patternBytes(500, 0xA5);
    const std::string macText = "02:00:5E:10:FF:00";
    const std::array<std::uint8_t, 6> mac{0x02, 0x00, 0x5E, 0x10, 0xFF, 0x00};
};

TEST_F(SerialSurvival, EveryFlowThatKeepsTheIdBlockKeepsSerialNumberAndMac) {
    const std::string prepared = folder.file("prepared");
    ASSERT_NO_FATAL_FAILURE(prepare(prepared));

    struct Flow {
        const char* name;
        Mode start;  // the player as the flow finds it
        std::vector<std::string> args;
    };
    const Flow flows[] = {
        {"update upgrade of a disk", Mode::Msc, {"upgrade", image, "--yes"}},
        {"update upgrade of a loader", Mode::Loader, {"upgrade", image, "--yes"}},
        {"upgrade with format", Mode::Msc, {"upgrade", image, "--yes", "--format"}},
        {"upgrade with copy", Mode::Msc, {"upgrade", image, "--yes", "--demo", demo}},
        {"upgrade --repair", Mode::Msc, {"upgrade", image, "--yes", "--repair"}},
        {"ID Block update", Mode::Loader, {"idb", "write", "--port", "1", "--loader", loader, "--yes"}},
        {"image download", Mode::Loader, {"image", "write", "--port", "1", image}},
        {"format", Mode::Msc, {"format", "--port", "1"}},
        {"copy", Mode::Msc, {"format", "--port", "1", "--copy", demo}},
    };
    for (const Flow& flow : flows) {
        const std::string state = folder.file(std::string("state-") + std::to_string(&flow - flows));
        std::filesystem::copy(prepared, state);
        auto w = world(state, flow.start);
        std::string shown;
        ASSERT_EQ(cv50(flow.args, shown), kExitOk) << flow.name << ": " << shown;
        ASSERT_NO_FATAL_FAILURE(expectKept(*w, flow.name));
    }
}

}  // namespace
}  // namespace cv50::cli
