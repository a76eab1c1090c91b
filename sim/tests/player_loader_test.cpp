// Scenario players whose loader answers the USB command library: geometry from the
// scenario, resets decided by the boot ROM, a booted mask ROM, flash kept between runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/search_exports.h"
#include "engine/device/search.h"
#include "engine/flash/boot_download.h"
#include "sim/nand.h"
#include "sim/host_services.h"
#include "sim/testing/scoped_sim.h"

namespace cv50 {
namespace {

using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Nand;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;
using sim::testing::TempFolder;
using sim::testing::writeTextFile;

ScenarioBuilder onePlayer(const Player& player) {
    return ScenarioBuilder().speed(200).port(player);
}

// The device path of the only CorvUsb device, or "".
std::string usbPath() {
    SEARCH_RESULT r{};
    return ScanCorvUsb(&r) == 1 ? std::string(r.devices[0].devicePath) : std::string();
}

TEST(PlayerLoader, AnswersWithTheGeometryOfItsScenario) {
    ScopedSim world(onePlayer(Player(Mode::Loader).nand(Nand().chipMask(5).manufacturer(4))));
    const std::string path = usbPath();
    ASSERT_FALSE(path.empty());
    unsigned char info[16] = {};
    ASSERT_EQ(CVU_ReadFlashInfo(path.c_str(), info), 0);
    EXPECT_EQ(info[9], 4);   // manufacturer code
    EXPECT_EQ(info[10], 5);  // chip-select mask
}

TEST(PlayerLoader, ResetOfABlankPlayerComesBackAsMaskRomOnANewPath) {
    ScopedSim world(onePlayer(Player(Mode::Loader).enumerateDelay(0.5)));
    const std::string before = usbPath();
    ASSERT_EQ(CVU_ResetDevice(before.c_str()), 0);
    unsigned char info[16];
    EXPECT_NE(CVU_ReadFlashInfo(before.c_str(), info), 0);  // gone from the bus
    DEVICE_INFO d{};
    std::strcpy(d.layer, "1");
    SEARCH_RESULT list{1, &d};
    ASSERT_EQ(WaitCVDevice(&list, MaskRom, 5), 1);  // no ID Block: the mask ROM answers
    EXPECT_STRNE(d.devicePath, before.c_str());
    EXPECT_NE(CVU_ReadFlashInfo(d.devicePath, info), 0);  // a mask ROM knows no commands
}

TEST(PlayerLoader, MaskRomAnswersCommandsOnceTheBootProgramsRan) {
    ScopedSim world(onePlayer(Player(Mode::MaskRom)));
    TempFolder folder;
    const std::string piece = folder.file("piece.bin");
    writeTextFile(piece, std::string(3000, 'p'));
    flash::BootDownload device(usbPath());
    unsigned char info[16];
    EXPECT_NE(CVU_ReadFlashInfo(device.devicePath().c_str(), info), 0);
    ASSERT_EQ(device.DownloadBoot(piece, piece, piece), 1);
    EXPECT_EQ(CVU_TestUnitReady(device.devicePath().c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(CVU_ReadFlashInfo(device.devicePath().c_str(), info), 0);
    SEARCH_RESULT r{};
    ASSERT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(r.devices[0].type, MaskRom);  // still enumerated as the mask ROM
}

TEST(PlayerLoader, FlashIsKeptInTheStateFolderBetweenRuns) {
    TempFolder state;
    const ScenarioBuilder scenario = onePlayer(Player(Mode::Loader)).state(state.path());
    std::vector<unsigned char> sector(528, 0xFF);
    std::memcpy(sector.data(), "kept between runs", 17);
    {
        ScopedSim first(scenario);
        ASSERT_EQ(CVU_WriteSector(usbPath().c_str(), 256 * 7, 1, 1, sector.data()), 0);
    }
    ScopedSim second(scenario);
    std::vector<unsigned char> back(528, 0);
    ASSERT_EQ(CVU_ReadSector(usbPath().c_str(), 256 * 7, 1, 1, back.data()), 0);
    EXPECT_EQ(std::memcmp(back.data(), "kept between runs", 17), 0);
}

// The flash the kept files hold while the world still runs, as a later world would load it.
std::vector<unsigned char> keptSector(const std::string& folder, std::uint32_t sector) {
    sim::Nand nand{sim::NandSpec{}};
    std::string error;
    std::vector<unsigned char> raw(528, 0);
    if (nand.load(folder + "/player-1.nand", error)) {
        unsigned chip = 0;
        std::uint32_t chipSector = 0;
        if (nand.locate(sector, chip, chipSector)) nand.read(chip, chipSector, raw);
    }
    return raw;
}

// A process that is killed never ends its world: what its players wrote is kept as they
// leave the bus (a reset), and within a short while of any other write.
TEST(PlayerLoader, FlashIsKeptAtEveryResetAndSoonAfterAWriteWhileTheWorldRuns) {
    TempFolder state;
    ScopedSim world(onePlayer(Player(Mode::Loader)).state(state.path()));
    std::vector<unsigned char> sector(528, 0xFF);
    std::memcpy(sector.data(), "written, then left alone", 24);
    ASSERT_EQ(CVU_WriteSector(usbPath().c_str(), 256 * 7, 1, 1, sector.data()), 0);
    if (sim::keepStateOnAThread()) {
        // No further call: only the keeper's own clock can keep it.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (keptSector(state.path(), 256 * 7) != sector &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(keptSector(state.path(), 256 * 7), sector);
    }

    std::memcpy(sector.data(), "written just before a reset", 27);
    ASSERT_EQ(CVU_WriteSector(usbPath().c_str(), 256 * 8, 1, 1, sector.data()), 0);
    ASSERT_EQ(CVU_ResetDevice(usbPath().c_str()), 0);
    EXPECT_EQ(keptSector(state.path(), 256 * 8), sector);
}

// Power fails on the second sector of a write: the first is whole, the second half
// programmed, the third untouched; the player is gone at once, and its boot ROM (finding
// no ID Block) brings it back in mask ROM after the enumeration delay.
TEST(PlayerLoader, PowerCutDropsThePlayerMidCommandAndItsBootRomDecidesWhatComesBack) {
    ScopedSim world(onePlayer(Player(Mode::Loader)
                                  .enumerateDelay(30)
                                  .nand(Nand().chipSectors(32768).blockSectors(32))
                                  .faults(Faults().powerCutAt(2))));
    const std::string path = usbPath();
    std::vector<unsigned char> sectors(3 * 528, 0x00);
    EXPECT_EQ(CVU_WriteSector(path.c_str(), 64, 3, 1, sectors.data()), CVU_ERR_TRANSPORT);
    EXPECT_EQ(CVU_TestUnitReady(path.c_str(), nullptr, nullptr), CVU_ERR_TRANSPORT);
    SEARCH_RESULT r{};
    EXPECT_EQ(ScanCorvUsb(&r), 0);  // off the bus before its enumeration delay is over
    EXPECT_EQ(
        world.sim().withWorld([](sim::UsbWorld& w) { return w.players()[0]->media->nand.steps(); }),
        2u);

    world.sim().sleepMs(31000);
    ASSERT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(r.devices[0].type, MaskRom);
    const std::string again = r.devices[0].devicePath;
    TempFolder folder;
    const std::string piece = folder.file("piece.bin");
    writeTextFile(piece, std::string(100, 'p'));
    ASSERT_EQ(flash::BootDownload(again).DownloadBoot(piece, piece, piece), 1);
    std::vector<unsigned char> back(3 * 528);
    ASSERT_EQ(CVU_ReadSector(again.c_str(), 64, 3, 1, back.data()), 0);
    std::vector<unsigned char> expected(3 * 528, 0xFF);
    std::fill_n(expected.begin(), 528 + 264, 0x00);
    EXPECT_EQ(back, expected);

    // The power failed once: the same write now goes through.
    ASSERT_EQ(CVU_EraseBlock(again.c_str(), 0, 2, 1, CVU_ERASE_NORMAL), 0);
    ASSERT_EQ(CVU_WriteSector(again.c_str(), 64, 3, 1, sectors.data()), 0);
    ASSERT_EQ(CVU_ReadSector(again.c_str(), 64, 3, 1, back.data()), 0);
    EXPECT_EQ(back, sectors);
}

// Resets count from the start: the first brings the player back, the second keeps it away.
TEST(PlayerLoader, NeverReturnKeepsThePlayerAwayFromItsNthResetUntilPluggedAgain) {
    ScopedSim world(onePlayer(
        Player(Mode::Loader).enumerateDelay(0.5).faults(Faults().neverReturnAt(2)).plugAt(300)));
    ASSERT_EQ(CVU_ResetDevice(usbPath().c_str()), 0);
    DEVICE_INFO d{};
    std::strcpy(d.layer, "1");
    SEARCH_RESULT list{1, &d};
    ASSERT_EQ(WaitCVDevice(&list, MaskRom, 5), 1);  // the first reset: back as usual

    TempFolder folder;
    const std::string piece = folder.file("piece.bin");
    writeTextFile(piece, std::string(100, 'p'));
    ASSERT_EQ(flash::BootDownload(d.devicePath).DownloadBoot(piece, piece, piece), 1);
    ASSERT_EQ(CVU_ResetDevice(d.devicePath), 0);
    SEARCH_RESULT r{};
    EXPECT_EQ(ScanCorvUsb(&r), 0);
    world.sim().sleepMs(100000);  // far beyond its enumeration delay
    EXPECT_EQ(ScanCorvUsb(&r), 0);

    world.sim().sleepMs(210000);
    ASSERT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(r.devices[0].type, MaskRom);
}

}  // namespace
}  // namespace cv50
