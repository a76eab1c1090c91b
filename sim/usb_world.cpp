// Building the simulated USB world from a scenario.
#include "sim/usb_world.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace cv50::sim {
namespace {

constexpr const char* kHubInterface = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr const char* kControllerInterface = "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// "USB\ROOT_HUB20\4&1B2C&0" -> "USB#ROOT_HUB20#4&1B2C&0#{f18a0e88-...}"
std::string interfaceName(const std::string& instanceId, const char* klass) {
    std::string name = instanceId;
    std::replace(name.begin(), name.end(), '\\', '#');
    return name + "#" + klass;
}

std::string format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

const SimHub* findHubIn(const SimHub& hub, const std::string& name) {
    if (equalNoCase(hub.name, name)) return &hub;
    for (const SimPort& p : hub.ports)
        if (p.hub)
            if (const SimHub* h = findHubIn(*p.hub, name)) return h;
    return nullptr;
}

}  // namespace

UsbWorld::UsbWorld(const Scenario& scenario) {
    root_ = addNode(0, "HTREE\\ROOT\\0", nullptr);
    unsigned index = 0;
    for (const ControllerSpec& spec : scenario.controllers) {
        SimController c;
        c.usb20 = spec.usb20;
        const std::string pciId =
            format("PCI\\VEN_8086&DEV_%04X\\3&11583659&0&%02X", spec.usb20 ? 0x1C2D : 0x1C27,
                   0xE8 + index);
        const os::DevInst pci = addNode(root_, pciId, nullptr);
        c.interfacePath = "\\\\?\\" + interfaceName(pciId, kControllerInterface);
        const std::string hubId = std::string(spec.usb20 ? "USB\\ROOT_HUB20\\" : "USB\\ROOT_HUB\\") +
                                  format("4&%X&0", 0x1B2C3D4 + index * 0x1111);
        c.rootHub.node = addNode(pci, hubId, &c.rootHub.driverKey);
        c.rootHub.name = interfaceName(hubId, kHubInterface);
        buildHub(c.rootHub, spec.rootHub, c.rootHub.node);
        controllers_.push_back(std::move(c));
        ++index;
    }
}

std::string UsbWorld::uniqueSuffix(unsigned port) {
    return format("5&%X&0&%u", 0x2A6C3F0 + 0x1F3 * nextUnique_++, port);
}

std::string UsbWorld::newDriverKey() {
    return format("{36fc9e60-c465-11cf-8056-444553540000}\\%04u", nextDriverKey_++);
}

os::DevInst UsbWorld::addNode(os::DevInst parent, const std::string& instanceId,
                              std::string* driverKey) {
    const os::DevInst id = nextNode_++;
    TreeNode node;
    node.parent = parent;
    node.instanceId = instanceId;
    node.driverKey = newDriverKey();
    if (driverKey) *driverKey = node.driverKey;
    nodes_[id] = node;
    if (parent != 0) nodes_[parent].children.push_back(id);
    return id;
}

void UsbWorld::buildHub(SimHub& hub, const HubSpec& spec, os::DevInst hubNode) {
    unsigned port = 0;
    for (const PortSpec& p : spec.ports) {
        ++port;
        SimPort sp;
        if (p.kind == PortSpec::Kind::Hub) {
            sp.hub = std::make_unique<SimHub>();
            const std::string id = "USB\\VID_05E3&PID_0608\\" + uniqueSuffix(port);
            sp.hub->node = addNode(hubNode, id, &sp.hub->driverKey);
            sp.hub->name = interfaceName(id, kHubInterface);
            buildHub(*sp.hub, *p.hub, sp.hub->node);
        } else if (p.kind == PortSpec::Kind::Device) {
            SimDevice d;
            d.spec = p.device;
            const std::string id = format("USB\\VID_%04X&PID_%04X\\", p.device.vid, p.device.pid) +
                                   uniqueSuffix(port);
            if (p.device.hasNode) {
                d.node = addNode(hubNode, id, &d.driverKey);
            } else {
                // The hub still reports a driver key; no node in the tree carries it.
                d.driverKey = newDriverKey();
            }
            sp.device = std::move(d);
        }
        hub.ports.push_back(std::move(sp));
    }
}

const SimHub* UsbWorld::findHub(const std::string& name) const {
    for (const SimController& c : controllers_)
        if (const SimHub* h = findHubIn(c.rootHub, name)) return h;
    return nullptr;
}

os::DevInst UsbWorld::child(os::DevInst node) const {
    auto it = nodes_.find(node);
    return it == nodes_.end() || it->second.children.empty() ? 0 : it->second.children.front();
}

os::DevInst UsbWorld::sibling(os::DevInst node) const {
    auto it = nodes_.find(node);
    if (it == nodes_.end() || it->second.parent == 0) return 0;
    const auto& kids = nodes_.at(it->second.parent).children;
    auto pos = std::find(kids.begin(), kids.end(), node);
    return pos == kids.end() || pos + 1 == kids.end() ? 0 : *(pos + 1);
}

os::DevInst UsbWorld::parent(os::DevInst node) const {
    auto it = nodes_.find(node);
    return it == nodes_.end() ? 0 : it->second.parent;
}

std::optional<std::string> UsbWorld::driverKey(os::DevInst node) const {
    auto it = nodes_.find(node);
    if (it == nodes_.end()) return std::nullopt;
    return it->second.driverKey;
}

std::optional<std::string> UsbWorld::instanceId(os::DevInst node) const {
    auto it = nodes_.find(node);
    if (it == nodes_.end()) return std::nullopt;
    return it->second.instanceId;
}

}  // namespace cv50::sim
