// The port walk over simulated USB worlds.
#include "engine/device/port_walk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/device/log.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using sim::testing::ScopedSim;

std::string player(const char* bcd = "0x0201") {
    return std::string(R"({"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": ")") + bcd +
           "\"}}";
}

std::vector<std::string> layers(const std::vector<PortEntry>& entries) {
    std::vector<std::string> out;
    for (const PortEntry& e : entries) out.push_back(e.layer);
    return out;
}

TEST(PortWalk, LayersNameThePortsFromTheRootHubDown) {
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [null, null, null,
        {"hub": {"ports": [null, )" + player() + R"(, {"hub": {"ports": [)" + player() + R"(]}}]}}]}]})");
    // Port 4 itself holds a hub, so it yields no entry of its own.
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"4-2", "4-3-1"}));

    ScopedSim direct(R"({"controllers": [{"usb": "2.0", "ports": [null, null, null, )" + player() + "]}]}");
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"4"}));
}

TEST(PortWalk, EntriesComeOutDepthFirstInControllerThenPortOrder) {
    ScopedSim world(R"({"controllers": [
        {"usb": "2.0", "ports": [)" + player() + R"(, {"hub": {"ports": [)" + player() + "," +
                    player() + R"(]}}, )" + player() + R"(]},
        {"usb": "2.0", "ports": [null, )" + player() + R"(]}]})");
    std::vector<PortEntry> entries;
    const int connected = EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1", "2-1", "2-2", "3", "2"}));
    EXPECT_EQ(connected, 6);  // five devices and the hub
}

TEST(PortWalk, Usb11ControllerIsFoundOnlyByTheWalkOverAllControllers) {
    ScopedSim world(R"({"controllers": [
        {"usb": "1.1", "ports": [)" + player() + R"(]},
        {"usb": "2.0", "ports": [null, )" + player("0x0200") + R"(]}]})");
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"2"}));
    EnumerateUsbPortsAll(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1", "2"}));
}

TEST(PortWalk, OnlyTenLegacyControllerNamesAreTried) {
    std::string controllers;
    for (int i = 0; i < 11; ++i)
        controllers += std::string(i ? "," : "") + R"({"usb": "1.1", "ports": [)" + player() + "]}";
    ScopedSim world(R"({"controllers": [)" + controllers + "]}");
    std::vector<PortEntry> entries;
    EnumerateUsbPortsAll(entries);
    EXPECT_EQ(entries.size(), 10u);
}

TEST(PortWalk, TwoControllersCanGiveTheSameLayer) {
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [)" + player() +
                    R"(]}, {"usb": "2.0", "ports": [)" + player() + "]}]}");
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    ASSERT_EQ(layers(entries), (std::vector<std::string>{"1", "1"}));
    EXPECT_NE(entries[0].devicePath, entries[1].devicePath);
}

TEST(PortWalk, EntryCarriesTheDescriptorAndAPathFromTheInstanceId) {
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [
        {"device": {"vid": 1819, "pid": "0x3203", "bcdUSB": "0x0110"}}]}]})");
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
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [
        {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0201", "configured": false}},
        {"device": {"vid": "0x071b", "pid": "0x3201", "bcdUSB": "0x0201", "node": false}}]}]})");
    std::vector<PortEntry> entries;
    const int connected = EnumerateUsbPorts(entries);
    EXPECT_EQ(connected, 2);
    ASSERT_EQ(layers(entries), (std::vector<std::string>{"2"}));
    EXPECT_EQ(entries[0].devInst, 0u);
    EXPECT_EQ(entries[0].devicePath, "");
}

TEST(PortWalk, DriverKeyIsFoundAnywhereInTheDeviceTree) {
    // Deep and wide: the node sits below several siblings' subtrees.
    ScopedSim world(R"({"controllers": [
        {"usb": "2.0", "ports": [{"hub": {"ports": [)" + player() + "," + player() + R"(]}}]},
        {"usb": "2.0", "ports": [null, {"hub": {"ports": [{"hub": {"ports": [)" + player() + R"(]}}]}}]}]})");
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
    auto nest = [](int depth, const std::string& leaf) {
        std::string inner = leaf;
        for (int d = 0; d < depth; ++d) {
            std::string ports;
            for (int p = 1; p < 10; ++p) ports += "null,";
            inner = R"({"hub": {"ports": [)" + ports + inner + "]}}";
        }
        return inner;
    };
    std::string rootPorts;
    for (int p = 1; p < 10; ++p) rootPorts += "null,";
    // 6 hubs below root port 10: the device sits at 10-10-10-10-10-10-10.
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [)" + player() + "," +
                    rootPorts.substr(5) + nest(6, player()) + "]}]}");
    sim::testing::TempFolder logs;
    ASSERT_TRUE(cv50::log::setFolder(logs.path().c_str()));
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    cv50::log::disable();
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1"}));

    const os::LocalTime t = world.sim().localTime();
    char name[64];
    std::snprintf(name, sizeof name, "/Log%04d-%02d-%02d.txt", t.year, t.month, t.day);
    std::ifstream in(logs.path() + name);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("ERROR:The port location 10-10-10-10-10-10-10 is longer"),
              std::string::npos)
        << text.str();
}

TEST(PortWalk, NineteenCharacterLayerFits) {
    std::string ports9;
    for (int p = 1; p < 10; ++p) ports9 += "null,";
    // 1-10-10-10-10-10-10 is 19 characters.
    std::string inner = player();
    for (int d = 0; d < 6; ++d) inner = R"({"hub": {"ports": [)" + ports9 + inner + "]}}";
    ScopedSim world(R"({"controllers": [{"usb": "2.0", "ports": [)" + inner + "]}]}");
    std::vector<PortEntry> entries;
    EnumerateUsbPorts(entries);
    EXPECT_EQ(layers(entries), (std::vector<std::string>{"1-10-10-10-10-10-10"}));
}

}  // namespace
}  // namespace cv50::device
