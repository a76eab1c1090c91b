// The device-record exports against simulated players.
#include <gtest/gtest.h>

#include <memory>

#include "engine/api/cv_exports.h"
#include "engine/api/tests/upgrade_fixture.h"
#include "sim/loader_endpoint.h"
#include "sim/testing/recording_endpoint.h"

namespace cv50 {
namespace {

using testing::ImageSpec;
using testing::Mode;
using testing::Player;
using testing::UpgradeFixture;
using testing::writeFile;

class CvDeviceRecord : public UpgradeFixture {};

TEST_F(CvDeviceRecord, UpgradeWithABadLoaderHeadSendsNothingToTheDevice) {
    start({nullptr});
    // A loader on a path of its own, with every command it receives recorded.
    const char* path = "\\\\?\\usb#vid_071b&pid_3201#recorded";
    auto media = std::make_shared<sim::LoaderMedia>(sim::NandSpec{});
    auto wire = std::make_shared<sim::testing::RecordingEndpoint>(
        std::make_shared<sim::LoaderEndpoint>(media, world->sim().clock()));
    world->sim().attachEndpoint(path, wire);
    DEVICE_INFO d{};
    std::strcpy(d.devicePath, path);
    std::strcpy(d.layer, "1");
    d.type = Loader;

    std::vector<std::uint8_t> loader = sampleLoader();
    loader[3] ^= 0x01;
    std::string bad = files.file("bad.bin");
    writeFile(bad, loader);
    EXPECT_EQ(CV_Upgrade(d, 1, 64, 16, bad.data(), 0, 1), -4);
    EXPECT_EQ(CV_Upgrade(d, 1, 64, 16, nullptr, 0, 1), -4);
    EXPECT_TRUE(wire->commands.empty());

    // The same device with a good loader file is talked to (and has no ID Block to update).
    std::string good = loaderPath();
    EXPECT_EQ(CV_Upgrade(d, 1, 64, 16, good.data(), 0, 1), -3);
    EXPECT_FALSE(wire->of(cvusb::Opcode::TestUnitReady).empty());
}

TEST_F(CvDeviceRecord, WaitDeviceTakesOnlyAPlayerSeenTenTimesInARow) {
    // The player flips between disk and loader every second for 41 s, then stays a loader.
    Player flipping = Player(Mode::Msc).enumerateDelay(0.1);
    for (int t = 1; t <= 41; ++t) flipping.switchAt(t, t % 2 ? Mode::Loader : Mode::Msc);
    start({flipping}, 20);
    DEVICE_INFO d{};
    std::strcpy(d.layer, "1");
    const DEVICE_INFO before = d;
    EXPECT_EQ(CV_WaitDevice(d, Loader, 30, 0), 0);
    EXPECT_EQ(std::memcmp(&d, &before, sizeof d), 0);

    while (world->sim().tickMs() < 42'000) world->sim().clock().sleepMs(500);
    const std::uint64_t startMs = world->sim().tickMs();
    ASSERT_EQ(CV_WaitDevice(d, Loader, 30, 0), 1);
    EXPECT_GE(world->sim().tickMs() - startMs, 1800u);  // ten polls 200 ms apart
    EXPECT_EQ(d.type, Loader);
    EXPECT_EQ(d.status, StatusIdle);
    EXPECT_STREQ(d.layer, "1");
    SEARCH_RESULT scanned{};
    ASSERT_EQ(ScanCorvUsb(&scanned), 1);
    EXPECT_STREQ(d.devicePath, scanned.devices[0].devicePath);
    EXPECT_EQ(d.devInst, scanned.devices[0].devInst);
}

TEST_F(CvDeviceRecord, FindDeviceCountsBothKindsAndDescribesTheFirstInWalkOrder) {
    start({nullptr, Player(Mode::Msc), Player(Mode::Loader)});
    DEVICE_INFO d{};
    d.status = StatusFailed;
    ASSERT_EQ(CV_FindDevice(d, 0), 2);
    EXPECT_STREQ(d.layer, "2");
    EXPECT_EQ(d.type, Msc);
    EXPECT_NE(d.driveLetter, 0);
    EXPECT_EQ(d.status, StatusIdle);

    start({nullptr});
    const DEVICE_INFO before = d;
    EXPECT_EQ(CV_FindDevice(d, 1), 0);
    EXPECT_EQ(std::memcmp(&d, &before, sizeof d), 0);
}

TEST_F(CvDeviceRecord, EraseIdbSendsThePlayerToMaskRomAndAnUpgradeBringsItBack) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    std::string image = packImage("fw.img");
    std::string loader = loaderPath();
    DEVICE_INFO d{};
    ASSERT_EQ(CV_FindDevice(d, 0), 1);
    ASSERT_EQ(d.type, MaskRom);

    // The updater's road: upgrade, reset, wait for the loader, image.
    ASSERT_EQ(CV_Upgrade(d, 1, 64, 16, loader.data(), 0, 1), 0) << logText();
    ASSERT_EQ(CV_ResetDevice(d), 1);
    ASSERT_EQ(CV_WaitDevice(d, Loader, 30, 0), 1);
    ASSERT_EQ(CV_DownloadImage(d, image.data()), 1) << logText();
    EXPECT_TRUE(logged("INFO:Download Image OK"));
    EXPECT_TRUE(diskHoldsImage(d, image));

    ASSERT_EQ(CV_EraseIDB(d, 30, 0, loader.data()), 1) << logText();
    EXPECT_EQ(d.type, MaskRom);
    SEARCH_RESULT scanned{};
    ASSERT_EQ(ScanCorvUsb(&scanned), 1);
    EXPECT_EQ(scanned.devices[0].type, MaskRom);

    // Without the loader file a mask-ROM device cannot be erased.
    EXPECT_EQ(CV_EraseIDB(d, 30, 0, nullptr), 0);
    EXPECT_TRUE(logged("Error:Loader file is Null(EraseIDB)"));

    ASSERT_EQ(CV_Upgrade(d, 1, 64, 16, loader.data(), 0, 1), 0) << logText();
    ASSERT_EQ(CV_ResetDevice(d), 1);
    ASSERT_EQ(CV_WaitDevice(d, Loader, 30, 0), 1);
    EXPECT_EQ(idBlockOn(d).diskSizesMB[0], 64);

    DEVICE_INFO nothing{};
    EXPECT_EQ(CV_EraseIDB(nothing, 1, 0, loader.data()), 0);
    EXPECT_TRUE(logged("Error:Erase IDB failed(EraseIDB)"));
}

}  // namespace
}  // namespace cv50
