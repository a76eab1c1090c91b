// Tests that write ID Blocks onto a simulated loader player: the player's scenario, its
// device path, boot files in a scratch folder, the raw blocks read back and judged by
// the simulator's own boot-ROM checker, and the log of the day.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/search_exports.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/tests/id_block_fixture.h"
#include "engine/os/os.h"
#include "sim/boot_rom/idb_check.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::flash::testing {

using sim::testing::Faults;
using sim::testing::Nand;
using sim::testing::Place;
using sim::testing::ScenarioBuilder;
using sim::testing::writeFile;

// One loader player with `nand` and `faults`, its flash kept in the folder `state` if one is
// named.
inline ScenarioBuilder loaderPlayer(const Nand& nand = {}, const Faults& faults = {},
                                    const std::string& state = "") {
    ScenarioBuilder world;
    world.speed(1000).time("2026-03-07T09:00:00.000");
    if (!state.empty()) world.state(state);
    return world.port(sim::testing::Player(sim::testing::Mode::Loader)
                          .enumerateDelay(0.5)
                          .nand(nand)
                          .faults(faults));
}

// 16 MiB, 16 KiB blocks.
inline const Nand kSmallNand = Nand().chipSectors(32768).blockSectors(32);

class IdbWriteFixture : public ::testing::Test {
protected:
    void SetUp() override {
        log::disable();
        ASSERT_TRUE(log::setFolder(logs.path().c_str()));
        writeFile(dataPath(), patternBytes(300, 0x11));
        writeFile(bootPath(), patternBytes(3000, 0x42));
    }
    void TearDown() override {
        log::disable();
        world.reset();
    }

    void start(const ScenarioBuilder& scenario) {
        world.reset();
        world = std::make_unique<sim::testing::ScopedSim>(scenario);
    }

    // The device path of the only CorvUsb device, or "".
    static std::string usbPath() {
        SEARCH_RESULT r{};
        return ScanCorvUsb(&r) == 1 ? std::string(r.devices[0].devicePath) : std::string();
    }

    // An object for the player as an upgrade sets it up.
    CFlashDevice device() {
        CFlashDevice d;
        d.SetDevice(usbPath());
        d.SetBootFiles(dataPath(), bootPath());
        d.loaderWords = {0x2008, 0x1220, 0x0123};
        return d;
    }

    // Raw sectors of `block` (blockSectors each) as the flash holds them.
    static std::vector<std::uint8_t> readBlock(std::uint32_t block, std::uint32_t blockSectors) {
        std::vector<std::uint8_t> raw(std::size_t{blockSectors} * kRawSectorBytes, 0);
        const std::string path = usbPath();
        for (std::uint32_t s = 0; s < blockSectors; s += CVU_MAX_SECTORS) {
            const std::uint32_t n = std::min<std::uint32_t>(CVU_MAX_SECTORS, blockSectors - s);
            EXPECT_EQ(CVU_ReadSector(path.c_str(), block * blockSectors + s, n, 1,
                                     raw.data() + std::size_t{s} * kRawSectorBytes),
                      0);
        }
        return raw;
    }
    // The boot ROM's verdict on each of `blocks`; fails the test for an invalid one.
    static std::vector<sim::IdBlockCopy> validCopies(const std::array<std::uint16_t, 5>& blocks,
                                                     std::uint32_t blockSectors) {
        std::vector<sim::IdBlockCopy> copies;
        for (std::uint16_t b : blocks) {
            const auto verdict = sim::checkIdBlockCopy(readBlock(b, blockSectors));
            EXPECT_TRUE(verdict.valid()) << "block " << b << ": " << verdict.describe();
            copies.push_back(verdict.copy);
        }
        return copies;
    }
    // After a reset the boot ROM decides: true when the player came back as Loader.
    static bool resetComesBackAsLoader() {
        if (CVU_ResetDevice(usbPath().c_str()) != 0) return false;
        DEVICE_INFO d{};
        return kindOnPort(d) == Loader;
    }
    // What the player on port 1 is once it is back on the bus, with its record in `found`;
    // nothing after a minute. Waits in simulated time in short steps, so a host that runs
    // slowly against the fast simulated clock cannot miss the player.
    static std::optional<CV_DEVICE_TYPE> kindOnPort(DEVICE_INFO& found) {
        for (int step = 0; step < 300; ++step) {
            for (CV_DEVICE_TYPE type : {Msc, Loader, MaskRom}) {
                found = DEVICE_INFO{};
                std::strcpy(found.layer, "1");
                SEARCH_RESULT list{1, &found};
                if (WaitCVDevice(&list, type, 0) == 1) return type;
            }
            os::current().sleepMs(200);
        }
        return std::nullopt;
    }

    std::string logText() const {
        return sim::testing::readTextFile(logs.file("Log2026-03-07.txt"));
    }
    bool logged(const std::string& message) const {
        return logText().find("\t" + message + "\r\n") != std::string::npos;
    }

    std::string dataPath() const { return files.file("data.bin"); }
    std::string bootPath() const { return files.file("FlashBoot.bin"); }

    sim::testing::TempFolder logs;
    sim::testing::TempFolder files;
    std::unique_ptr<sim::testing::ScopedSim> world;
};

}  // namespace cv50::flash::testing
