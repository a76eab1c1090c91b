// Scenario files: the JSON description of a simulated USB world.
//
//   {"speed": 1, "windows": "10.0", "time": "2026-12-31T23:59:59.999",
//    "controllers": [ {"usb": "2.0" | "1.1", "ports": [PORT, ...]}, ... ]}
//
// The n-th PORT is port n: null (empty), {"hub": {"ports": [PORT, ...]}},
// {"device": {"vid": V, "pid": P, "bcdUSB": B, "configured": true, "node": true}} or
// {"player": {...}} (see PlayerSpec). Numbers are JSON numbers or "0x..." strings.
// "configured" defaults to true; "node": false leaves the device without a device node
// (its driver key matches nothing).
//
// "drives": [{"letter": "E", "type": "removable" | "fixed", "target": "\\Device\\X"}]
// adds volumes that belong to no player (drive C: is always there, fixed).
// "state": FOLDER keeps every player's flash, its disk layout and its plain user disk in
// files named after its port, so a player flashed by one run is found flashed by the next.
// "formatLibrary": false makes the system's format library ("fmifs.dll") missing.
// "corvUsbDriver": {"installed": false, "install": "ok" | "restart" | "fail"} makes a PC that
// has never had the CorvUsb driver (see DriverSpec).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/os/os.h"
#include "sim/nand_spec.h"

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

enum class PlayerMode { Msc, Loader, MaskRom };

// A scripted change of a player, at a simulated time after the start.
struct PlayerEvent {
    enum class Action { Unplug, Plug, Switch };
    double atSeconds = 0;
    Action action = Action::Plug;
    std::optional<PlayerMode> mode;  // Plug: the mode it arrives in; Switch: the new mode
};

// {"player": {"mode": "msc" | "loader" | "maskrom" | "poweron", "present": true,
//   "enumerateDelay": 1.0, "mountDelay": 1.0 | null, "diskId": "...", "friendlyName": "...",
//   "ids": {"corvUsb": [VID, PID], "corvMsc": [VID, PID]},
//   "versions": {"loader": [HIGH, LOW], "system": [HIGH, LOW]}, "ejectVetoes": 0,
//   "driveType": "removable" | "fixed",
//   "nand": {...}, "timing": {...}, "faults": {...},  (keys in sim/nand_spec.h)
//   "script": [{"at": 2.5, "action": "unplug" | "plug" | "switch", "mode": "loader"}]}}
// A player in loader mode reports bcdUSB 0x0201, in mask ROM 0x0200, both with the CorvUsb
// numbers; in disk mode the CorvMsc numbers, and its removable volume mounts `mountDelay`
// seconds after it arrives (null: never) on the next free drive letter from D. Every change
// of mode leaves the bus and comes back `enumerateDelay` seconds later with a new device
// node, instance id and path. "ejectVetoes" is how many eject requests the player vetoes
// (-1: all); "driveType" is how its volume is reported (removable unless "fixed"). In
// loader mode (and in mask ROM once the boot programs ran) the player answers the CorvUsb
// commands from its NAND; its logical disk lies on the NAND as the ID Block its boot ROM
// accepted lays it out (none without one). A reset brings it back as Loader when its boot
// ROM finds a valid ID Block copy, else as MaskRom; with the reset flag set, or when power
// comes back after a cut, as a disk when its system disk holds a firmware image. At the
// start a player runs as "mode" says, on what its flash holds. A disk whose NAND holds an
// ID Block and an image reports their versions; any other disk reports "versions", and a
// disk without a layout gets a plain user disk in memory.
struct PlayerSpec {
    PlayerMode mode = PlayerMode::Loader;
    // "mode": "poweron": the mode its flash brings it up in, as when power comes back after a
    // cut (the state a run before left it in).
    bool modeAtPowerOn = false;
    bool present = true;
    double enumerateDelay = 1.0;
    std::optional<double> mountDelay = 1.0;
    std::uint16_t corvUsbVid = 0x071b, corvUsbPid = 0x3201;
    std::uint16_t corvMscVid = 0x071b, corvMscPid = 0x3203;
    std::string diskId;        // instance id of the disk node; empty: a USBSTOR id
    std::string friendlyName;  // friendly name of the volume; empty: "X:\"
    std::uint16_t loaderHigh = 0x0001, loaderLow = 0x0000;
    std::uint16_t systemHigh = 0x0001, systemLow = 0x0000;
    int ejectVetoes = 0;
    bool fixedDrive = false;  // "driveType": "fixed"
    std::vector<PlayerEvent> script;
    NandSpec nand;      // "nand"
    TimingSpec timing;  // "timing"
    FaultSpec faults;   // "faults"
};

struct HubSpec;

struct PortSpec {
    enum class Kind { Empty, Hub, Device, Player };
    Kind kind = Kind::Empty;
    std::shared_ptr<HubSpec> hub;        // Kind::Hub
    DeviceSpec device;                   // Kind::Device
    std::shared_ptr<PlayerSpec> player;  // Kind::Player
};

struct HubSpec {
    std::vector<PortSpec> ports;
    double bytesPerSecond = 0;  // the upstream rate its ports share; 0: only its controller's
};

struct ControllerSpec {
    bool usb20 = true;
    HubSpec rootHub;  // its bytesPerSecond is the controller's
};

struct DriveSpec {
    char letter = 'E';
    bool removable = true;
    std::string target;
};

// The PC's CorvUsb driver. Without it a player in loader or mask-ROM mode is an unknown
// device: listed among the present devices with its hardware ids, but unconfigured, without
// a driver key, not to be opened, and its arrival opens the new-hardware window. Installing
// a driver package that names one of its hardware ids installs it; the players then
// re-enumerate with it. "install" scripts how such an install ends: done, done with a
// restart request (the players work at once all the same), or failed.
struct DriverSpec {
    enum class Install { Ok, Restart, Fail };
    bool installed = true;
    Install install = Install::Ok;
};

struct Scenario {
    double speed = 1.0;
    os::WindowsVersion windows{10, 0};
    std::optional<os::LocalTime> startTime;
    std::vector<ControllerSpec> controllers;
    std::vector<DriveSpec> drives;
    std::string stateFolder;    // "state": players' flash kept here between runs
    bool formatLibrary = true;  // "formatLibrary"
    DriverSpec corvUsbDriver;   // "corvUsbDriver"
};

// Parses scenario text; `source` names it in errors. Throws ScenarioError.
Scenario parseScenario(const std::string& text, const std::string& source);
// Reads and parses a scenario file. Throws ScenarioError.
Scenario loadScenarioFile(const std::string& path);

// The world `cv50` shows when no scenario is named.
const char* sampleScenarioText();

}  // namespace cv50::sim
