// The simulated USB world: host controllers, root hubs, hubs, ports and the devices
// on them, with the device-tree nodes, driver keys, instance ids and hub names that
// Windows would show. Not thread-safe by itself; SimOs serialises access.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"
#include "sim/scenario.h"

namespace cv50::sim {

struct SimDevice {
    DeviceSpec spec;
    os::DevInst node = 0;   // 0 when the device has no node
    std::string driverKey;  // what the hub reports for the port
};

struct SimHub;

struct SimPort {
    std::unique_ptr<SimHub> hub;       // a hub on this port
    std::optional<SimDevice> device;   // or a device
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
    explicit UsbWorld(const Scenario& scenario);

    const std::vector<SimController>& controllers() const { return controllers_; }
    // The hub with this name (case-insensitive), or nullptr.
    const SimHub* findHub(const std::string& name) const;

    os::DevInst treeRoot() const { return root_; }
    os::DevInst child(os::DevInst node) const;
    os::DevInst sibling(os::DevInst node) const;
    os::DevInst parent(os::DevInst node) const;
    std::optional<std::string> driverKey(os::DevInst node) const;
    std::optional<std::string> instanceId(os::DevInst node) const;

private:
    struct TreeNode {
        os::DevInst parent = 0;
        std::vector<os::DevInst> children;
        std::string driverKey;
        std::string instanceId;
    };

    os::DevInst addNode(os::DevInst parent, const std::string& instanceId, std::string* driverKey);
    void buildHub(SimHub& hub, const HubSpec& spec, os::DevInst hubNode);
    std::string uniqueSuffix(unsigned port);
    std::string newDriverKey();

    std::vector<SimController> controllers_;
    std::map<os::DevInst, TreeNode> nodes_;
    os::DevInst root_ = 0;
    os::DevInst nextNode_ = 1;
    unsigned nextDriverKey_ = 0;
    unsigned nextUnique_ = 0;
};

}  // namespace cv50::sim
