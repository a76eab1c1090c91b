// The tests' scenario builder: what it sets is what the scenario reader reads.
#include "sim/testing/scenario_builder.h"

#include <gtest/gtest.h>

namespace cv50::sim {
namespace {

using testing::Device;
using testing::Faults;
using testing::hub;
using testing::Mode;
using testing::Nand;
using testing::Place;
using testing::Player;
using testing::ScenarioBuilder;
using testing::Timing;

Scenario read(const ScenarioBuilder& builder) { return parseScenario(builder.text(), "built"); }

TEST(ScenarioBuilder, WorldOptionsAndTheTopologyReachTheReader) {
    const Scenario s = read(ScenarioBuilder()
                                .speed(50)
                                .time("2026-03-07T09:00:00.000")
                                .windows("6.0")
                                .state("/tmp/kept")
                                .withoutFormatLibrary()
                                .fixedDrive('D', "\\Device\\Cd")
                                .removableDrive('F', "\\Device\\HarddiskVolume8")
                                .ports({nullptr,
                                        hub({Device(0x046d, 0xc52b, 0x0110).unconfigured(),
                                             Device(1, 2, 3).withoutNode()}),
                                        hub({hub({Player(Mode::MaskRom)})})})
                                .usb11Controller({Player()})
                                .port(Player(Mode::Msc)));
    EXPECT_EQ(s.speed, 50);
    ASSERT_TRUE(s.startTime);
    EXPECT_EQ(s.startTime->hour, 9);
    EXPECT_EQ(s.windows.major, 6u);
    EXPECT_EQ(s.stateFolder, "/tmp/kept");
    EXPECT_FALSE(s.formatLibrary);
    ASSERT_EQ(s.drives.size(), 2u);
    EXPECT_EQ(s.drives[0].letter, 'D');
    EXPECT_FALSE(s.drives[0].removable);
    EXPECT_EQ(s.drives[0].target, "\\Device\\Cd");
    EXPECT_TRUE(s.drives[1].removable);

    // Ports go to the last controller: the USB 1.1 one holds the loader and the disk.
    ASSERT_EQ(s.controllers.size(), 2u);
    EXPECT_TRUE(s.controllers[0].usb20);
    const auto& first = s.controllers[0].rootHub.ports;
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].kind, PortSpec::Kind::Empty);
    ASSERT_EQ(first[1].kind, PortSpec::Kind::Hub);
    const auto& hubPorts = first[1].hub->ports;
    ASSERT_EQ(hubPorts.size(), 2u);
    EXPECT_EQ(hubPorts[0].device.vid, 0x046d);
    EXPECT_EQ(hubPorts[0].device.pid, 0xc52b);
    EXPECT_EQ(hubPorts[0].device.bcdUSB, 0x0110);
    EXPECT_FALSE(hubPorts[0].device.configured);
    EXPECT_TRUE(hubPorts[0].device.hasNode);
    EXPECT_TRUE(hubPorts[1].device.configured);
    EXPECT_FALSE(hubPorts[1].device.hasNode);
    // A hub alone on a hub's port stays a hub of its own.
    ASSERT_EQ(first[2].kind, PortSpec::Kind::Hub);
    ASSERT_EQ(first[2].hub->ports.size(), 1u);
    ASSERT_EQ(first[2].hub->ports[0].kind, PortSpec::Kind::Hub);
    ASSERT_EQ(first[2].hub->ports[0].hub->ports.size(), 1u);
    EXPECT_EQ(first[2].hub->ports[0].hub->ports[0].player->mode, PlayerMode::MaskRom);
    EXPECT_FALSE(s.controllers[1].usb20);
    const auto& second = s.controllers[1].rootHub.ports;
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].player->mode, PlayerMode::Loader);
    EXPECT_EQ(second[1].player->mode, PlayerMode::Msc);

    EXPECT_TRUE(read(ScenarioBuilder()).controllers.empty());
}

TEST(ScenarioBuilder, EveryPlayerSetterReachesTheReader) {
    const Player player =
        Player(Mode::MaskRom)
            .absent()
            .enumerateDelay(0.5)
            .mountDelay(2)
            .diskId("SCSI\\DISK&VEN_X\\1")
            .friendlyName("e:\\")
            .corvUsbIds(0x1234, 0x0001)
            .loaderVersion(2, 16)
            .systemVersion(3, 1)
            .ejectVetoes(-1)
            .fixedDrive()
            .nand(
                Nand().chipSectors(32768).blockSectors(32).pageSectors(2).chipMask(5).manufacturer(
                    4))
            .timing(Timing().busyMs(3500).set("pageProgramUs", 900))
            .faults(Faults()
                        .eraseFails({1, 2})
                        .programFails({3})
                        .readError(Place::lba(40))
                        .flipBit(Place::sector(67), 100, 2)
                        .flipBit(Place::lba(1), 400, 3)
                        .failCommand("WriteLBA", 2)
                        .powerCutAt(7)
                        .neverReturnAt(3))
            .plugAt(1, Mode::Loader)
            .unplugAt(2)
            .switchAt(3, Mode::Msc)
            .plugAt(4);
    const Scenario s = read(ScenarioBuilder().port(player));
    const PlayerSpec& p = *s.controllers.at(0).rootHub.ports.at(0).player;
    EXPECT_EQ(p.mode, PlayerMode::MaskRom);
    EXPECT_FALSE(p.present);
    EXPECT_EQ(p.enumerateDelay, 0.5);
    EXPECT_EQ(p.mountDelay, 2.0);
    EXPECT_EQ(p.diskId, "SCSI\\DISK&VEN_X\\1");
    EXPECT_EQ(p.friendlyName, "e:\\");
    EXPECT_EQ(p.corvUsbVid, 0x1234);
    EXPECT_EQ(p.corvUsbPid, 0x0001);
    EXPECT_EQ(p.corvMscPid, PlayerSpec{}.corvMscPid);
    EXPECT_EQ(p.loaderHigh, 2);
    EXPECT_EQ(p.loaderLow, 16);
    EXPECT_EQ(p.systemHigh, 3);
    EXPECT_EQ(p.systemLow, 1);
    EXPECT_EQ(p.ejectVetoes, -1);
    EXPECT_TRUE(p.fixedDrive);
    EXPECT_EQ(p.nand.chipSectors, 32768u);
    EXPECT_EQ(p.nand.blockSectors, 32u);
    EXPECT_EQ(p.nand.pageSectors, 2u);
    EXPECT_EQ(p.nand.chipMask, 5u);
    EXPECT_EQ(p.nand.manufacturer, 4u);
    EXPECT_EQ(p.timing.busyMs, 3500u);
    EXPECT_EQ(p.timing.pageProgramUs, 900u);
    EXPECT_EQ(p.faults.eraseFails, (std::vector<BlockRef>{{0, 1}, {0, 2}}));
    EXPECT_EQ(p.faults.programFails, (std::vector<BlockRef>{{0, 3}}));
    EXPECT_EQ(p.faults.readErrors, (std::vector<SectorRef>{{true, 40}}));
    ASSERT_EQ(p.faults.flipBits.size(), 2u);
    EXPECT_EQ(p.faults.flipBits[0].where, (SectorRef{false, 67}));
    EXPECT_EQ(p.faults.flipBits[0].byte, 100u);
    EXPECT_EQ(p.faults.flipBits[0].bit, 2u);
    EXPECT_EQ(p.faults.flipBits[1].where, (SectorRef{true, 1}));
    ASSERT_EQ(p.faults.failCommands.size(), 1u);
    EXPECT_EQ(p.faults.failCommands[0].command, cvusb::Opcode::WriteLBA);
    EXPECT_EQ(p.faults.failCommands[0].times, 2u);
    EXPECT_EQ(p.faults.powerCutAtStep, 7u);
    EXPECT_EQ(p.faults.neverReturnAtReset, 3u);
    using Action = PlayerEvent::Action;
    ASSERT_EQ(p.script.size(), 4u);
    EXPECT_EQ(p.script[0].action, Action::Plug);
    EXPECT_EQ(p.script[0].atSeconds, 1);
    EXPECT_EQ(p.script[0].mode, PlayerMode::Loader);
    EXPECT_EQ(p.script[1].action, Action::Unplug);
    EXPECT_EQ(p.script[2].action, Action::Switch);
    EXPECT_EQ(p.script[2].mode, PlayerMode::Msc);
    EXPECT_FALSE(p.script[3].mode);

    // Only what was set is written: the rest keeps the reader's defaults.
    const PlayerSpec plain = *read(ScenarioBuilder().port(Player().neverMounts()))
                                  .controllers[0]
                                  .rootHub.ports[0]
                                  .player;
    EXPECT_EQ(plain.mode, PlayerSpec{}.mode);
    EXPECT_EQ(plain.enumerateDelay, PlayerSpec{}.enumerateDelay);
    EXPECT_FALSE(plain.mountDelay);
}

}  // namespace
}  // namespace cv50::sim
