// The USB port walk.
#include "engine/device/port_walk.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/text.h"
#include "engine/device/log.h"

namespace cv50::device {
namespace {

constexpr const char* kUsb20RootHubMarkers[] = {"{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
                                                "USB#ROOT_HUB20#"};
constexpr const char* kDeviceInterfaceClass = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
// Bounds a visit of a broken (cyclic) device tree; real trees have a few hundred nodes.
constexpr int kMaxTreeSteps = 1 << 20;

using base::equalNoCase;

bool isUsb20RootHub(const std::string& name) {
    for (const char* marker : kUsb20RootHubMarkers)
        if (name.find(marker) == std::string::npos) return false;
    return true;
}

}  // namespace

std::string devicePathFromInstanceId(const std::string& instanceId) {
    std::string id = instanceId;
    std::replace(id.begin(), id.end(), '\\', '#');
    return "\\\\?\\" + id + kDeviceInterfaceClass;
}

os::DevInst findDeviceNodeByDriverKey(const std::string& driverKey) {
    os::Os& sys = os::current();
    const os::DevInst root = sys.deviceTreeRoot();
    os::DevInst node = root;
    for (int steps = 0; node != 0 && steps < kMaxTreeSteps; ++steps) {
        const auto key = sys.deviceDriverKey(node);
        if (key && equalNoCase(*key, driverKey)) return node;
        if (const os::DevInst child = sys.deviceTreeChild(node)) {
            node = child;
            continue;
        }
        // No child: the next sibling of this node or of the nearest ancestor that has one.
        for (;;) {
            if (node == root) return 0;
            if (const os::DevInst sibling = sys.deviceTreeSibling(node)) {
                node = sibling;
                break;
            }
            node = sys.deviceTreeParent(node);
            if (node == 0) return 0;
        }
    }
    return 0;
}

void PortWalk::usb20Controllers() {
    os::Os& sys = os::current();
    for (const std::string& path : sys.hostControllerPaths()) {
        os::UniqueHandle controller(sys.openDevice(path));
        if (!controller) continue;
        const auto name = sys.rootHubName(controller.get());
        if (name && isUsb20RootHub(*name)) hub(*name, "");
    }
}

void PortWalk::legacyControllers() {
    os::Os& sys = os::current();
    for (int n = 0; n < 10; ++n) {
        char path[16];
        std::snprintf(path, sizeof path, "\\\\.\\HCD%d", n);
        os::UniqueHandle controller(sys.openDevice(path));
        if (!controller) continue;
        const auto name = sys.rootHubName(controller.get());
        if (name && !name->empty()) hub(*name, "");
    }
}

void PortWalk::hub(const std::string& hubName, const std::string& prefix) {
    os::Os& sys = os::current();
    os::UniqueHandle handle(sys.openDevice("\\\\.\\" + hubName));
    if (!handle) return;
    const auto ports = sys.hubPortCount(handle.get());
    if (!ports) return;
    hubPorts(handle.get(), *ports, prefix);
}

void PortWalk::hubPorts(os::Handle hubHandle, unsigned portCount, const std::string& prefix) {
    os::Os& sys = os::current();
    for (unsigned port = 1; port <= portCount; ++port) {
        const std::string location =
            prefix.empty() ? std::to_string(port) : prefix + "-" + std::to_string(port);
        const auto info = sys.connectionInfo(hubHandle, port);
        if (!info) continue;
        if (info->connectionStatus == 1) ++connected_;
        if (info->deviceIsHub) ++hubs_;
        if (info->connectionStatus == 0) continue;

        os::DevInst node = 0;
        if (const auto key = sys.driverKeyName(hubHandle, port))
            node = findDeviceNodeByDriverKey(*key);

        if (info->deviceIsHub) {
            if (const auto name = sys.downstreamHubName(hubHandle, port)) {
                hub(*name, location);
                continue;
            }
        }
        PortEntry entry;
        entry.vid = info->idVendor;
        entry.pid = info->idProduct;
        entry.bcdUSB = info->bcdUSB;
        entry.devInst = node;
        if (node != 0)
            if (const auto id = sys.deviceInstanceId(node))
                entry.devicePath = devicePathFromInstanceId(*id);
        if (info->currentConfigurationValue == 0) continue;
        if (location.size() > kMaxLayerLength) {
            // A cut Layer could name another port; such a device cannot be told apart.
            Log("ERROR:The port location %s is longer than %u characters, the device on it is "
                "skipped",
                location.c_str(), static_cast<unsigned>(kMaxLayerLength));
            continue;
        }
        entry.layer = location;
        out_.push_back(std::move(entry));
    }
}

int EnumerateUsbPorts(std::vector<PortEntry>& entries) {
    entries.clear();
    PortWalk walk(entries);
    walk.usb20Controllers();
    return walk.connectedPorts();
}

int EnumerateUsbPortsAll(std::vector<PortEntry>& entries) {
    entries.clear();
    PortWalk walk(entries);
    walk.legacyControllers();
    return walk.connectedPorts();
}

void EnumerateHub(std::vector<PortEntry>& entries, const std::string& hubName,
                  const std::string& prefix) {
    PortWalk(entries).hub(hubName, prefix);
}

void EnumerateHubPorts(std::vector<PortEntry>& entries, os::Handle hub, unsigned portCount,
                       const std::string& prefix) {
    PortWalk(entries).hubPorts(hub, portCount, prefix);
}

}  // namespace cv50::device
