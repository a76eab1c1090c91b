// The MD_ disk commands against simulated players.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/api/md_exports.h"
#include "engine/api/search_exports.h"
#include "engine/api/tests/scan_all.h"
#include "engine/device/search.h"
#include "engine/device/tests/log_capture.h"
#include "sim/testing/scoped_sim.h"

namespace cv50 {
namespace {

using sim::testing::Json;
using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;

ScenarioBuilder ports(const std::vector<Json>& entries) {
    return ScenarioBuilder().speed(100).ports(entries);
}

using testing::scanAll;

TEST(MdDiskCommands, SwitchTurnsTheDiskIntoALoaderAndRefusesALoaderAtItsOwnIndex) {
    ScopedSim sim(ports({Player(Mode::Loader), Player(Mode::Msc)}));
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 2u);
    SEARCH_RESULT devices{2, list.data()};
    ERROR_LIST errors{-1, nullptr};
    EXPECT_EQ(MD_SwitchToCorvUsb(&devices, &errors), 0);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 0u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Device is not MSC");
    EXPECT_EQ(list[0].status, StatusFailed);
    EXPECT_EQ(list[1].status, StatusOk);

    SEARCH_RESULT wanted{1, &list[1]};
    EXPECT_EQ(WaitCVDevice(&wanted, Loader, 5), 1);
    EXPECT_EQ(list[1].type, Loader);
}

TEST(MdDiskCommands, VersionsLandInTheCallersArrayInListOrder) {
    ScopedSim sim(ports({Player(Mode::Msc).loaderVersion(2, 16).systemVersion(3, 1),
                         Player(Mode::Msc).loaderVersion(4, 5).systemVersion(6, 7)}));
    std::vector<DEVICE_INFO> list = scanAll();
    SEARCH_RESULT devices{2, list.data()};
    _CORV_VERSION versions[2] = {};
    ERROR_LIST errors{};
    ASSERT_EQ(MD_GetDeviceVersion(&devices, versions, &errors), 1);
    EXPECT_EQ(errors.count, 0);
    EXPECT_EQ(versions[0].loaderHigh, 2);
    EXPECT_EQ(versions[0].loaderLow, 16);
    EXPECT_EQ(versions[0].systemHigh, 3);
    EXPECT_EQ(versions[0].systemLow, 1);
    EXPECT_EQ(versions[1].loaderHigh, 4);
    EXPECT_EQ(versions[1].systemLow, 7);
}

TEST(MdDiskCommands, ExtendedCommandFillsOneSlicePerDeviceAndLeavesAFailedOnesSliceAlone) {
    ScopedSim sim(ports({Player(Mode::Msc).loaderVersion(1, 1), Player(Mode::Loader),
                         Player(Mode::Msc).loaderVersion(3, 3)}));
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 3u);
    SEARCH_RESULT devices{3, list.data()};
    unsigned char buffer[36];
    std::memset(buffer, 0xEE, sizeof buffer);
    ERROR_LIST errors{};
    EXPECT_EQ(MD_SendExCommand(&devices, &errors, 0xFFFFFFFF, buffer, 12), 0);
    EXPECT_EQ(buffer[0], 1);  // loaderLow of device 0
    EXPECT_EQ(buffer[2], 1);  // loaderHigh
    for (int i = 12; i < 24; ++i) EXPECT_EQ(buffer[i], 0xEE) << i;
    EXPECT_EQ(buffer[24], 3);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 1u);

    // Without a buffer the command still goes out.
    SEARCH_RESULT first{1, list.data()};
    EXPECT_EQ(MD_SendExCommand(&first, &errors, 0x12345678, nullptr, 12), 1);
    EXPECT_EQ(errors.count, 0);
    EXPECT_EQ(MD_SendExCommand(&first, &errors, 0x12345678, buffer, 513), 0);
    EXPECT_STREQ(errors.errors[0].text, "Error:Send Extended Command failed");
}

TEST(MdDiskCommands, DiskWithoutVolumeIsRetriedAbout3SecondsThenGetDriveFailed) {
    ScopedSim sim(ports({Player(Mode::Msc).neverMounts()}));
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].driveLetter, 0);
    SEARCH_RESULT devices{1, list.data()};
    ERROR_LIST errors{};
    const std::uint64_t start = sim.sim().tickMs();
    EXPECT_EQ(MD_ShowSystemDisk(&devices, &errors), 0);
    EXPECT_GE(sim.sim().tickMs() - start, 3000u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Get drive failed");
}

TEST(MdDiskCommands, ShowSystemDiskUsesALetterFoundNowWithoutChangingTheRecord) {
    ScopedSim sim(ports({Player(Mode::Msc)}));
    std::vector<DEVICE_INFO> list = scanAll();
    list[0].driveLetter = 0;
    SEARCH_RESULT devices{1, list.data()};
    ERROR_LIST errors{};
    EXPECT_EQ(MD_ShowSystemDisk(&devices, &errors), 1);
    EXPECT_EQ(list[0].driveLetter, 0);
    EXPECT_TRUE(
        sim.sim().withWorld([](sim::UsbWorld& w) { return w.players()[0]->systemDiskShown; }));
}

TEST(MdDiskCommands, EjectVetoedTwentyTimesFailsAfterAbout2Seconds) {
    ScopedSim sim(ports({Player(Mode::Msc).ejectVetoes(-1), Player(Mode::Msc).ejectVetoes(3)}));
    testing::LogCapture log;
    std::vector<DEVICE_INFO> list = scanAll();
    SEARCH_RESULT devices{2, list.data()};
    ERROR_LIST errors{};
    const std::uint64_t start = sim.sim().tickMs();
    EXPECT_EQ(MD_RemoveCorvMsc(&devices, &errors), 0);
    EXPECT_GE(sim.sim().tickMs() - start, 2000u);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 0u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Remove usb failed");
    EXPECT_EQ(list[1].status, StatusOk);
    // The ejected disk's volume is gone; the vetoing one keeps its letter.
    SEARCH_RESULT after{};
    ASSERT_EQ(ScanCorvMsc(&after), 2);
    EXPECT_NE(after.devices[0].driveLetter, 0);
    EXPECT_EQ(after.devices[1].driveLetter, 0);
    EXPECT_EQ(log.text().find("Remove usb"), std::string::npos);  // these calls do not log
}

TEST(MdDiskCommands, EmptyListSucceedsWithNoErrors) {
    ScopedSim sim(ports({nullptr}));
    SEARCH_RESULT none{0, nullptr};
    ERROR_LIST errors{5, nullptr};
    EXPECT_EQ(MD_SwitchToCorvUsb(&none, &errors), 1);
    EXPECT_EQ(errors.count, 0);
    EXPECT_NE(errors.errors, nullptr);
}

}  // namespace
}  // namespace cv50

namespace cv50 {
namespace {

TEST(MdResetCorvUsb, ResetsLoadersAndRefusesDisksAtTheirIndex) {
    ScopedSim sim(ports({Player(Mode::Msc), Player(Mode::Loader)}));
    SEARCH_RESULT r{};
    ASSERT_EQ(ScanCorvMsc(&r), 1);
    std::vector<DEVICE_INFO> list(r.devices, r.devices + 1);
    ASSERT_EQ(ScanCorvUsb(&r), 1);
    list.push_back(r.devices[0]);
    SEARCH_RESULT devices{2, list.data()};
    ERROR_LIST errors{};
    EXPECT_EQ(MD_ResetCorvUsb(&devices, &errors), 0);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 0u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Device is not Loader");
    EXPECT_EQ(list[1].status, StatusOk);
    EXPECT_EQ(ScanCorvUsb(&r), 0);  // the loader left the bus

    EXPECT_EQ(MD_ResetCorvUsb(&devices, &errors), 0);  // gone: its reset fails now
    ASSERT_EQ(errors.count, 2);
    EXPECT_STREQ(errors.errors[1].text, "Error:Reset device failed");
}

}  // namespace
}  // namespace cv50
