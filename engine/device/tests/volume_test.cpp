// Drive letters of simulated disks on each Windows generation.
#include "engine/device/volume.h"

#include <gtest/gtest.h>

#include "engine/device/port_walk.h"
#include "engine/device/tests/log_capture.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;
using testing::LogCapture;

// A disk on port 1 of a system of `windows`.
ScenarioBuilder world(const std::string& windows, const Player& disk) {
    return ScenarioBuilder().windows(windows).port(disk);
}

Player diskPlayer() { return Player(Mode::Msc); }

// The USB device node of the only device in the world.
std::uint32_t onlyDeviceNode() {
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(entries.size(), 1u);
    return entries.empty() ? 0 : entries[0].devInst;
}

struct VersionCase {
    const char* windows;
    Player disk;
    char letter;            // expected result
    const char* logged;     // a line expected in the log when the lookup fails
};

class DriveLookupByVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(DriveLookupByVersion, FindsTheLetterOrSaysWhyNot) {
    const VersionCase& c = GetParam();
    ScopedSim sim(world(c.windows, c.disk));
    LogCapture log;
    DriveLookup lookup("\\\\?\\some-path", onlyDeviceNode());
    const int found = GetDemoDrive(lookup);
    EXPECT_EQ(found, c.letter != 0);
    EXPECT_EQ(lookup.driveLetter, c.letter);
    if (c.logged[0] != '\0') {
        EXPECT_TRUE(log.contains(c.logged)) << log.text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveLookupByVersion,
    ::testing::Values(
        VersionCase{"5.1", diskPlayer(), 'D', ""},
        VersionCase{"5.1", diskPlayer().neverMounts(), 0,
                    "Error:GetDrive to get next instance failed,instance("},
        VersionCase{"6.0", diskPlayer(), 'D', ""},
        VersionCase{"6.0", diskPlayer().neverMounts(), 0, "Error:Get PDOName failed\r\n\r\n"},
        VersionCase{"6.0", diskPlayer().diskId("SCSI\\DISK&VEN_X\\1"), 0,
                    "Error:Not include USBSTOR\r\n"},
        VersionCase{"10.0", diskPlayer(), 'D', ""}, VersionCase{"6.1", diskPlayer(), 'D', ""},
        VersionCase{"10.0", diskPlayer().friendlyName("e:\\"), 'E', ""},
        VersionCase{"10.0", diskPlayer().friendlyName("Player"), 'P', ""},
        VersionCase{"10.0", diskPlayer().friendlyName("1:\\"), 0, "Error:not found the drive\r\n"},
        VersionCase{"10.0", diskPlayer().neverMounts(), 0, "Error:Get FriendlyName failed\r\n"},
        VersionCase{"10.0", diskPlayer().diskId("SCSI\\DISK&VEN_X\\1"), 0,
                    "Error:Not include USBSTOR\r\n"}));

TEST(DriveLookup, XpLogsTheInstanceOfADiskWithoutVolume) {
    ScopedSim sim(world("5.1", diskPlayer().neverMounts()));
    LogCapture log;
    const std::uint32_t usbNode = onlyDeviceNode();
    const os::DevInst disk = sim.sim().deviceTreeChild(usbNode);
    ASSERT_NE(disk, 0u);
    EXPECT_EQ(GetDrive(disk), 0);
    EXPECT_TRUE(log.contains("Error:GetDrive to get next instance failed,instance(" +
                             std::to_string(disk) + ")"))
        << log.text();
}

TEST(DriveLookup, DeviceWithoutDiskNodeFailsAtTheFirstStep) {
    ScopedSim sim(ScenarioBuilder().port(Player(Mode::Loader)));
    LogCapture log;
    DriveLookup lookup("", onlyDeviceNode());
    EXPECT_EQ(GetDemoDrive(lookup), 0);
    EXPECT_TRUE(log.contains("Error:GetDemoDrive to get next instance failed,instance(" +
                             std::to_string(lookup.devInst) + ")"))
        << log.text();
}

TEST(DriveLookup, SecondPlayerGetsTheNextFreeLetter) {
    ScopedSim sim(
        ScenarioBuilder().fixedDrive('D', "\\Device\\Cd").ports({diskPlayer(), diskPlayer()}));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    ASSERT_EQ(entries.size(), 2u);
    DriveLookup first("", entries[0].devInst), second("", entries[1].devInst);
    ASSERT_EQ(GetDemoDrive(first), 1);
    ASSERT_EQ(GetDemoDrive(second), 1);
    EXPECT_EQ(first.driveLetter, 'E');
    EXPECT_EQ(second.driveLetter, 'F');
}

TEST(QueryVolume, MatchesOnlyARemovableDriveWithExactlyThatTarget) {
    ScopedSim sim(ScenarioBuilder()
                      .removableDrive('E', "\\Device\\HarddiskVolume7")
                      .removableDrive('F', "\\Device\\HarddiskVolume8")
                      .fixedDrive('G', "\\Device\\HarddiskVolume9"));
    EXPECT_EQ(QueryVolume("\\Device\\HarddiskVolume9"), 0);   // fixed
    EXPECT_EQ(QueryVolume("\\Device\\HarddiskVolume5"), 0);   // two removable drives, other targets
    EXPECT_EQ(QueryVolume("\\device\\harddiskvolume8"), 0);   // compared with case
    EXPECT_EQ(QueryVolume("\\Device\\HarddiskVolume8"), 'F');
    EXPECT_EQ(QueryVolume("\\Device\\HarddiskVolume1"), 0);   // C: is never a result
    EXPECT_EQ(QueryVolume(""), 0);
}

}  // namespace
}  // namespace cv50::device
