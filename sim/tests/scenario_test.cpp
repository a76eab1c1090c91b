// Scenario files: what users write, and the errors they get for mistakes.
#include "sim/scenario.h"

#include <gtest/gtest.h>

namespace cv50::sim {
namespace {

TEST(Scenario, ReadsTopologyNumbersAndDefaults) {
    const Scenario s = parseScenario(R"({"speed": 50, "windows": "5.1", "controllers": [
        {"usb": "1.1", "ports": [null, {"hub": {"bytesPerSecond": 5e5, "ports": [
            {"device": {"vid": 1819, "pid": "0x3201", "bcdUSB": "0X0201"}}]}}]},
        {"usb": "2.0", "bytesPerSecond": 3e7, "ports": [{"device": {"vid": "0x071b", "pid": 12803, "bcdUSB": 512,
                                              "configured": false}}]}]})",
                                     "t.json");
    EXPECT_EQ(s.speed, 50);
    EXPECT_EQ(s.windows.major, 5u);
    EXPECT_EQ(s.windows.minor, 1u);
    ASSERT_EQ(s.controllers.size(), 2u);
    EXPECT_FALSE(s.controllers[0].usb20);
    const auto& ports = s.controllers[0].rootHub.ports;
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].kind, PortSpec::Kind::Empty);
    ASSERT_EQ(ports[1].kind, PortSpec::Kind::Hub);
    const DeviceSpec& d = ports[1].hub->ports[0].device;
    EXPECT_EQ(d.vid, 0x071b);
    EXPECT_EQ(d.pid, 0x3201);
    EXPECT_EQ(d.bcdUSB, 0x0201);
    EXPECT_TRUE(d.configured);
    EXPECT_TRUE(d.hasNode);
    EXPECT_FALSE(s.controllers[1].rootHub.ports[0].device.configured);
    EXPECT_EQ(ports[1].hub->bytesPerSecond, 5e5);
    EXPECT_EQ(s.controllers[0].rootHub.bytesPerSecond, 0);  // the default of its kind
    EXPECT_EQ(s.controllers[1].rootHub.bytesPerSecond, 3e7);

    const Scenario plain = parseScenario(R"({"controllers": []})", "t.json");
    EXPECT_EQ(plain.speed, 1.0);
    EXPECT_EQ(plain.windows.major, 10u);
    EXPECT_TRUE(plain.corvUsbDriver.installed);
    EXPECT_EQ(plain.corvUsbDriver.install, DriverSpec::Install::Ok);

    const Scenario driverless = parseScenario(
        R"({"corvUsbDriver": {"installed": false, "install": "restart"}, "controllers": []})",
        "t.json");
    EXPECT_FALSE(driverless.corvUsbDriver.installed);
    EXPECT_EQ(driverless.corvUsbDriver.install, DriverSpec::Install::Restart);
}

struct BadCase {
    const char* text;
    const char* expected;  // part of the message after "bad.json: "
};

class BadScenario : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadScenario, GivesOneErrorNamingTheFileAndTheProblem) {
    try {
        parseScenario(GetParam().text, "bad.json");
        FAIL() << "accepted: " << GetParam().text;
    } catch (const ScenarioError& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("bad.json: ", 0), 0u) << what;
        EXPECT_NE(what.find(GetParam().expected), std::string::npos) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadScenario,
    ::testing::Values(
        BadCase{"{\"controllers\": [", "not valid JSON"},
        BadCase{"", "not valid JSON"},
        // Numbers too large for a double or an integer are JSON the parser cannot hold.
        BadCase{R"({"speed": 1e999, "controllers": []})", "not valid JSON"},
        BadCase{R"({"controllers": [], "speed": -1e400})", "not valid JSON"},
        BadCase{"[]", "expected an object"},
        BadCase{"{}", "missing \"controllers\""},
        BadCase{R"({"controllers": {}})", "controllers: expected an array"},
        BadCase{R"({"controllers": [{"usb": "3.0", "ports": []}]})", "controllers[0].usb"},
        BadCase{R"({"controllers": [{"usb": 2, "ports": []}]})", "expected a string"},
        BadCase{R"({"controllers": [{"usb": "2.0"}]})", "missing \"ports\""},
        BadCase{R"({"controllers": [{"ports": [{"printer": {}}]}]})",
                "controllers[0].ports[0]: unknown port entry \"printer\""},
        BadCase{R"({"controllers": [{"ports": [42]}]})", "unknown port entry"},
        BadCase{R"({"controllers": [{"ports": [{"hub": {}, "device": {}}]}]})", "unknown port entry"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": 1, "pid": 2}}]}]})",
                "missing \"bcdUSB\""},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": "x71b", "pid": 2, "bcdUSB": 2}}]}]})",
                "ports[0].device.vid"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": 65536, "pid": 2, "bcdUSB": 2}}]}]})",
                "does not fit 16 bits"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": -1, "pid": 2, "bcdUSB": 2}}]}]})",
                "expected a number"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": "0xZZ", "pid": 2, "bcdUSB": 2}}]}]})",
                "not a hexadecimal number"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": 1, "pid": 2, "bcdUSB": 2, "configured": "yes"}}]}]})",
                "expected true or false"},
        BadCase{R"({"controllers": [{"ports": [{"device": {"vid": 1, "pid": 2, "bcdUSB": 2, "colour": 1}}]}]})",
                "unknown key \"colour\""},
        BadCase{R"({"controllers": [{"ports": [{"hub": {"ports": [{"hub": {"ports": "none"}}]}}]}]})",
                "controllers[0].ports[0].hub.ports[0].hub.ports: expected an array"},
        BadCase{R"({"controllers": [{"bytesPerSecond": 0, "ports": []}]})",
                "controllers[0].bytesPerSecond: expected a number from 1000 to 1e12"},
        BadCase{R"({"speed": 0, "controllers": []})", "speed"},
        BadCase{R"({"windows": "11", "controllers": []})", "unknown Windows version"},
        BadCase{R"({"time": "yesterday", "controllers": []})", "expected a local time"},
        BadCase{R"({"controllers": [], "extra": true})", "unknown key \"extra\""},
        BadCase{R"({"formatLibrary": "no", "controllers": []})",
                "formatLibrary: expected true or false"},
        BadCase{R"({"controllers": [{"ports": [{"player": {"driveType": "cdrom"}}]}]})",
                "ports[0].player.driveType: expected \"removable\" or \"fixed\""},
        BadCase{R"({"corvUsbDriver": false, "controllers": []})",
                "corvUsbDriver: expected an object"},
        BadCase{R"({"corvUsbDriver": {"install": "maybe"}, "controllers": []})",
                "corvUsbDriver.install: expected \"ok\", \"restart\" or \"fail\""},
        BadCase{R"({"corvUsbDriver": {"signed": true}, "controllers": []})",
                "unknown key \"signed\""}));

TEST(Scenario, DeeplyNestedHubsAreRefusedNotRecursedForever) {
    std::string text = "null";
    for (int i = 0; i < 200; ++i) text = R"({"hub": {"ports": [)" + text + "]}}";
    text = R"({"controllers": [{"ports": [)" + text + "]}]}";
    EXPECT_THROW(parseScenario(text, "deep.json"), ScenarioError);
}

TEST(Scenario, MissingFileIsAScenarioError) {
    try {
        loadScenarioFile("/no/such/scenario.json");
        FAIL();
    } catch (const ScenarioError& e) {
        EXPECT_EQ(std::string(e.what()), "/no/such/scenario.json: cannot open the scenario file");
    }
}

TEST(Scenario, BuiltInSampleParses) {
    EXPECT_NO_THROW(parseScenario(sampleScenarioText(), "sample"));
}

}  // namespace
}  // namespace cv50::sim
