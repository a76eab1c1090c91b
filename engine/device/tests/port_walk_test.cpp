// The port walk over simulated USB worlds.
#include "engine/device/port_walk.h"

#include <gtest/gtest.h>

#include "engine/device/log.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using sim::testing::Device;
using sim::testing::hub;
using sim::testing::Json;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;

// What the walk sees of a loader: a device with the CorvUsb numbers.
Device player(std::uint16_t bcd = 0x0201) { return Device(0x071b, 0x3201, bcd); }

// `leaf` on port 10 of the innermost of `hubs` nested hubs, each on port 10 of the one before.
Json onPort10Of(int hubs, Json leaf) {
    for (int h = 0; h < hubs; ++h) {
        std::vector<Json> ports(9, nullptr);
        ports.push_back(std::move(leaf));
        leaf = hub(std::move(ports));
    }
    return leaf;
}

std::vector<std::string> layers(const std::vector<PortEntry>& entries) {
    std::vector<std::string> out;
    for (const PortEntry& e : entries) out.push_back(e.layer);
    return out;
}

TEST(PortWalk, LayersNameThePortsFromTheRootHubDown) {
    ScopedSim world(ScenarioBuilder().ports(
        {nullptr, nullptr, nullptr, hub({nullptr, player(), hub({player()})})}));
    // Port 4 itself holds a hub, so it yields no entry of its own.
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"4-2", "4-3-1"}));

    ScopedSim direct(ScenarioBuilder().ports({nullptr, nullptr, nullptr, player()}));
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"4"}));
}

TEST(PortWalk, EntriesComeOutDepthFirstInControllerThenPortOrder) {
    ScopedSim world(ScenarioBuilder()
                        .controller({player(), hub({player(), player()}), player()})
                        .controller({nullptr, player()}));
    std::vector<PortEntry> entries;
    const int connected = EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1", "2-1", "2-2", "3", "2"}));
    EXPECT_EQ(connected, 6);  // five devices and the hub
}

TEST(PortWalk, Usb11ControllerIsFoundOnlyByTheWalkOverAllControllers) {
    ScopedSim world(
        ScenarioBuilder().usb11Controller({player()}).controller({nullptr, player(0x0200)}));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"2"}));
    EnumerateUsbPortsAll(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1", "2"}));
}

TEST(PortWalk, OnlyTenLegacyControllerNamesAreTried) {
    ScenarioBuilder controllers;
    for (int i = 0; i < 11; ++i) controllers.usb11Controller({player()});
    ScopedSim world(controllers);
    std::vector<PortEntry> entries;
    EnumerateUsbPortsAll(entries);
    EXPECT_EQ(entries.size(), 10u);
}

TEST(PortWalk, TwoControllersCanGiveTheSameLayer) {
    ScopedSim world(ScenarioBuilder().controller({player()}).controller({player()}));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    ASSERT_EQ(layers(entries), (std::vector<std::string>{"1", "1"}));
    EXPECT_NE(entries[0].devicePath, entries[1].devicePath);
}

TEST(PortWalk, EntryCarriesTheDescriptorAndAPathFromTheInstanceId) {
    ScopedSim world(ScenarioBuilder().port(Device(1819, 0x3203, 0x0110)));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    ASSERT_EQ(entries.size(), 1u);
    const PortEntry& e = entries[0];
    EXPECT_EQ(e.vid, 0x071b);
    EXPECT_EQ(e.pid, 0x3203);
    EXPECT_EQ(e.bcdUSB, 0x0110);
    ASSERT_NE(e.devInst, 0u);
    const auto id = world.sim().deviceInstanceId(e.devInst);
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(e.devicePath, devicePathFromInstanceId(*id));
    EXPECT_EQ(e.devicePath.rfind("\\\\?\\USB#VID_071B&PID_3203#", 0), 0u) << e.devicePath;
}

TEST(PortWalk, DevicePathOfAnInstanceId) {
    EXPECT_EQ(devicePathFromInstanceId("USB\\VID_071B&PID_3201\\5&2A6C3F0&0&2"),
              "\\\\?\\USB#VID_071B&PID_3201#5&2A6C3F0&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
}

TEST(PortWalk, UnconfiguredDeviceIsLeftOutAndMissingNodeLeavesThePathEmpty) {
    ScopedSim world(ScenarioBuilder().ports({player().unconfigured(), player().withoutNode()}));
    std::vector<PortEntry> entries;
    const int connected = EnumerateUsbPorts(entries);
    EXPECT_EQ(connected, 2);
    ASSERT_EQ(layers(entries), (std::vector<std::string>{"2"}));
    EXPECT_EQ(entries[0].devInst, 0u);
    EXPECT_EQ(entries[0].devicePath, "");
}

TEST(PortWalk, DriverKeyIsFoundAnywhereInTheDeviceTree) {
    // Deep and wide: the node sits below several siblings' subtrees.
    ScopedSim world(ScenarioBuilder()
                        .controller({hub({player(), player()})})
                        .controller({nullptr, hub({hub({player()})})}));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    ASSERT_EQ(layers(entries), (std::vector<std::string>{"1-1", "1-2", "2-1-1"}));
    for (const PortEntry& e : entries) {
        EXPECT_NE(e.devInst, 0u) << e.layer;
        EXPECT_EQ(findDeviceNodeByDriverKey(*world.sim().deviceDriverKey(e.devInst)), e.devInst);
    }
    EXPECT_EQ(findDeviceNodeByDriverKey("{no-such-key}\\0001"), 0u);
}

// A Layer that does not fit 19 characters is refused, never cut into another port's Layer.
TEST(PortWalk, LayerLongerThanTheFieldIsRefusedWithALogLine) {
    // Ports 10 at each of 7 tiers: "10-10-10-10-10-10-10" is 20 characters.
    std::vector<Json> rootPorts(10, nullptr);
    rootPorts[0] = player();
    // 6 hubs below root port 10: the device sits at 10-10-10-10-10-10-10.
    rootPorts[9] = onPort10Of(6, player());
    ScopedSim world(ScenarioBuilder().ports(rootPorts));
    sim::testing::TempFolder logs;
    ASSERT_TRUE(cv50::log::setFolder(logs.path().c_str()));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    cv50::log::disable();
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1"}));

    const os::LocalTime t = world.sim().localTime();
    char name[64];
    std::snprintf(name, sizeof name, "/Log%04d-%02d-%02d.txt", t.year, t.month, t.day);
    const std::string text = sim::testing::readTextFile(logs.path() + name);
    EXPECT_NE(text.find("ERROR:The port location 10-10-10-10-10-10-10 is longer"),
              std::string::npos)
        << text;
}

TEST(PortWalk, NineteenCharacterLayerFits) {
    // 1-10-10-10-10-10-10 is 19 characters.
    ScopedSim world(ScenarioBuilder().port(onPort10Of(6, player())));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1-10-10-10-10-10-10"}));
}

}  // namespace
}  // namespace cv50::device
