// The simulated USB world: host controllers, root hubs, hubs, ports and the devices and
// players on them, with the device-tree nodes, driver keys, instance ids, hub names,
// volumes and drive letters that Windows would show. Changes over time (players arriving,
// leaving, mounting) are events on the simulated clock, applied by advance().
// Not thread-safe by itself; SimOs serialises access.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"
#include "sim/loader_endpoint.h"
#include "sim/mask_rom.h"
#include "sim/scenario.h"
#include "sim/system_image.h"

namespace cv50::sim {

struct SimDevice {
    DeviceSpec spec;
    os::DevInst node = 0;   // 0 when the device has no node
    std::string driverKey;  // what the hub reports for the port; empty without a driver
    bool hasDriver = true;  // false: an unknown device, which cannot be opened
};

// A player on a port; while on the bus it has a device node and, in disk mode, a disk
// node and (once mounted) a volume with a drive letter.
struct SimPlayer {
    PlayerSpec spec;
    PlayerMode mode = PlayerMode::Loader;
    std::string layer;  // the port's place in the tree ("4-2"), for state files
    unsigned port = 0;
    os::DevInst hubNode = 0;
    unsigned generation = 0;  // bumped on every departure, so stale events do nothing
    std::optional<SimDevice> device;
    os::DevInst diskNode = 0;
    os::DevInst volumeNode = 0;
    char driveLetter = 0;
    std::vector<std::string> volumeInterfaces;  // upper-case interface paths
    bool systemDiskShown = false;
    MaskRom maskRom;          // the download state while in mask ROM
    std::shared_ptr<LoaderMedia> media;         // its NAND and logical disk
    // The firmware image the player started from, while it runs as a disk on its NAND's
    // layout; nothing for a disk that a scenario declares on flash without one.
    std::optional<SystemImage> image;
    std::shared_ptr<LoaderEndpoint> endpoint;   // while the loader (or booted ROM) answers
    // The devicePath the endpoint was put on the bus under, and its key there (upper case);
    // the simulator's count of endpoint changes when it was last found there.
    std::string endpointPath, endpointKey;
    std::uint64_t endpointFoundAt = 0;
    std::string devicePath;   // "\\?\USB#..." while on the bus
    int ejectRequests = 0;
    std::uint32_t resets = 0;  // loader resets since the simulator started

    bool onBus() const { return device.has_value(); }
    // The descriptor numbers the player reports in its current mode.
    DeviceSpec descriptor() const;
};

struct SimHub;

struct SimPort {
    std::unique_ptr<SimHub> hub;             // a hub on this port
    std::optional<SimDevice> device;         // or a plain device
    std::shared_ptr<SimPlayer> player;       // or a player (maybe off the bus)
};

struct SimHub {
    std::string name;  // as IOCTL_USB_GET_*_NAME reports it (without "\\.\")
    os::DevInst node = 0;
    std::string driverKey;
    std::vector<SimPort> ports;
};

struct SimController {
    bool usb20 = true;
    std::string interfacePath;
    SimHub rootHub;
};

class UsbWorld {
public:
    // Readies a player before any arrives and gives the mode it starts in (players present
    // from the start arrive in it, the others when plugged without a mode).
    using Start = std::function<PlayerMode(SimPlayer&)>;

    // Called when a player arrives in a personality the PC has no driver for.
    using DeviceWithoutDriver = std::function<void(SimPlayer&)>;

    // Without `start` every player starts as its scenario says.
    explicit UsbWorld(const Scenario& scenario, const Start& start = {},
                      DeviceWithoutDriver withoutDriver = {});

    // Applies every event due at or before `nowMs` (simulated), in time order.
    void advance(std::uint64_t nowMs);

    const std::vector<SimController>& controllers() const { return controllers_; }
    // The hub with this name (case-insensitive), or nullptr.
    const SimHub* findHub(const std::string& name) const;
    // Every player of the world, in port-walk order of the scenario.
    const std::vector<std::shared_ptr<SimPlayer>>& players() const { return players_; }

    os::DevInst treeRoot() const { return root_; }
    os::DevInst child(os::DevInst node) const;
    os::DevInst sibling(os::DevInst node) const;
    os::DevInst parent(os::DevInst node) const;
    std::optional<std::string> driverKey(os::DevInst node) const;
    std::optional<std::string> instanceId(os::DevInst node) const;

    // Volumes.
    std::uint32_t logicalDrives() const;
    unsigned driveType(char letter) const;
    std::optional<std::string> dosDeviceTarget(char letter) const;
    os::PropertyResult interfaceProperty(const std::string& path, os::DeviceProperty p) const;

    // The player on the bus whose device path is `path` (case-insensitive), or nullptr.
    SimPlayer* playerWithPath(const std::string& path) const;
    // The player whose volume has drive letter `letter`, or nullptr.
    SimPlayer* playerOnDrive(char letter) const;
    // The user disk of the player whose volume has drive letter `letter` (the volume that
    // gets the letter), as 512-byte sectors; nullptr when no player's volume has it. Only
    // for use under the simulator's lock, and only until the world changes.
    fwpkg::SectorDevice* userDisk(char letter) const;
    // An eject request for the device node `node`: true when done without a veto; the
    // player's volume is then gone while the player stays on the bus.
    bool requestEject(os::DevInst node);

    // --- Drivers ---
    // Every node of the device tree with its hardware ids, in node order.
    os::PresentDevices presentDevices() const;
    // The nodes whose hardware ids include `hardwareId` (any case).
    std::vector<os::DevInst> nodesWithHardwareId(const std::string& hardwareId) const;
    const std::vector<std::string>& hardwareIds(os::DevInst node) const;
    // The hardware ids a CorvUsb personality of some player reports, in upper case.
    std::vector<std::string> corvUsbHardwareIds() const;
    bool corvUsbDriverInstalled() const { return corvUsbDriver_; }
    // The CorvUsb driver is installed at time `t`: players without it re-enumerate with it.
    void installCorvUsbDriver(std::uint64_t t);
    // A root-enumerated device (a device information element that was registered).
    os::DevInst addRootDevice(const std::string& instanceId, const std::vector<std::string>& ids);
    void removeRootDevice(os::DevInst node);

    // Personality changes: the player leaves the bus now (time `t`) and comes back in
    // `mode` after its enumeration delay.
    void reenumerate(SimPlayer& player, PlayerMode mode, std::uint64_t t);
    void arrive(SimPlayer& player, PlayerMode mode, std::uint64_t t);
    void depart(SimPlayer& player);

private:
    struct TreeNode {
        os::DevInst parent = 0;
        std::vector<os::DevInst> children;
        std::string driverKey;  // empty for a device without a driver
        std::string instanceId;
        std::vector<std::string> hardwareIds;
    };
    struct Drive {
        bool removable = true;
        std::string target;
    };
    struct VolumeInterface {
        std::string deviceObjectName;
        std::string friendlyName;
    };
    struct Event {
        std::uint64_t atMs;
        std::uint64_t seq;
        std::function<void()> run;
    };

    // A node with a driver key, unless `hasDriver` is false.
    os::DevInst addNode(os::DevInst parent, const std::string& instanceId, std::string* driverKey,
                        bool hasDriver = true);
    void removeNode(os::DevInst node);
    // `links`: the shared links above the hub, its own first.
    void buildHub(SimHub& hub, const HubSpec& spec, os::DevInst hubNode, const std::string& prefix,
                  const std::vector<std::shared_ptr<BusShare>>& links);
    std::string uniqueSuffix(unsigned port);
    std::string newDriverKey();
    void schedule(std::uint64_t atMs, std::function<void()> run);
    void schedulePlayer(SimPlayer& player, std::uint64_t atMs, std::function<void(SimPlayer&)> run);
    void mount(SimPlayer& player);
    void dismount(SimPlayer& player);

    std::vector<SimController> controllers_;
    std::vector<std::shared_ptr<SimPlayer>> players_;
    std::map<os::DevInst, TreeNode> nodes_;
    std::map<char, Drive> drives_;
    std::map<std::string, VolumeInterface> volumeInterfaces_;
    std::vector<Event> events_;  // a min-heap on (atMs, seq)
    os::WindowsVersion windows_;
    bool corvUsbDriver_ = true;
    DeviceWithoutDriver withoutDriver_;
    os::DevInst root_ = 0;
    os::DevInst nextNode_ = 1;
    unsigned nextDriverKey_ = 0;
    unsigned nextUnique_ = 0;
    unsigned nextVolume_ = 2;  // HarddiskVolume1 is C:
    std::uint64_t nextSeq_ = 0;
};

}  // namespace cv50::sim
