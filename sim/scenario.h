// Scenario files: the JSON description of a simulated USB world.
//
//   {"speed": 1, "windows": "10.0", "time": "2026-12-31T23:59:59.999",
//    "controllers": [ {"usb": "2.0" | "1.1", "ports": [PORT, ...]}, ... ]}
//
// The n-th PORT is port n: null (empty), {"hub": {"ports": [PORT, ...]}} or
// {"device": {"vid": V, "pid": P, "bcdUSB": B, "configured": true, "node": true}}.
// Numbers are JSON numbers or "0x..." strings. "configured" defaults to true; "node": false
// leaves the device without a device node (its driver key matches nothing).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::sim {

// A scenario that cannot be used; what() names the file and the problem.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DeviceSpec {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t bcdUSB = 0x0200;
    bool configured = true;
    bool hasNode = true;
};

struct HubSpec;

struct PortSpec {
    enum class Kind { Empty, Hub, Device };
    Kind kind = Kind::Empty;
    std::shared_ptr<HubSpec> hub;  // Kind::Hub
    DeviceSpec device;             // Kind::Device
};

struct HubSpec {
    std::vector<PortSpec> ports;
};

struct ControllerSpec {
    bool usb20 = true;
    HubSpec rootHub;
};

struct Scenario {
    double speed = 1.0;
    os::WindowsVersion windows{10, 0};
    std::optional<os::LocalTime> startTime;
    std::vector<ControllerSpec> controllers;
};

// Parses scenario text; `source` names it in errors. Throws ScenarioError.
Scenario parseScenario(const std::string& text, const std::string& source);
// Reads and parses a scenario file. Throws ScenarioError.
Scenario loadScenarioFile(const std::string& path);

// The world `cv50` shows when no scenario is named.
const char* sampleScenarioText();

}  // namespace cv50::sim
