// Building the simulated USB world from a scenario, and its changes over time.
#include "sim/usb_world.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/os/error_codes.h"
#include "sim/text.h"

namespace cv50::sim {
namespace {

constexpr const char* kHubInterface = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr const char* kControllerInterface = "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";

// "USB\ROOT_HUB20\4&1B2C&0" -> "USB#ROOT_HUB20#4&1B2C&0#{f18a0e88-...}"
std::string interfaceName(const std::string& instanceId, const char* klass) {
    return hashed(instanceId) + "#" + klass;
}

std::string format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::uint64_t ms(double seconds) { return static_cast<std::uint64_t>(seconds * 1000.0 + 0.5); }

// The hardware ids Windows gives a node of this instance id: a USB device's id with its
// revision, then without; any other its first two parts.
std::vector<std::string> hardwareIdsOf(const std::string& instanceId) {
    const std::size_t last = instanceId.rfind('\\');
    if (last == std::string::npos || last == 0) return {};
    const std::string device = instanceId.substr(0, last);
    if (startsWithNoCase(device, "USB\\VID_")) return {device + "&REV_0100", device};
    return {device};
}

const SimHub* findHubIn(const SimHub& hub, const std::string& name) {
    if (equalNoCase(hub.name, name)) return &hub;
    for (const SimPort& p : hub.ports)
        if (p.hub)
            if (const SimHub* h = findHubIn(*p.hub, name)) return h;
    return nullptr;
}

}  // namespace

DeviceSpec SimPlayer::descriptor() const {
    DeviceSpec d;
    if (mode == PlayerMode::Msc) {
        d.vid = spec.corvMscVid;
        d.pid = spec.corvMscPid;
        d.bcdUSB = 0x0200;
    } else {
        d.vid = spec.corvUsbVid;
        d.pid = spec.corvUsbPid;
        d.bcdUSB = mode == PlayerMode::Loader ? 0x0201 : 0x0200;
    }
    return d;
}

UsbWorld::UsbWorld(const Scenario& scenario, const Start& start, DeviceWithoutDriver withoutDriver)
    : windows_(scenario.windows),
      corvUsbDriver_(scenario.corvUsbDriver.installed),
      withoutDriver_(std::move(withoutDriver)) {
    drives_['C'] = Drive{false, "\\Device\\HarddiskVolume1"};
    for (const DriveSpec& d : scenario.drives) drives_[d.letter] = Drive{d.removable, d.target};

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
        const double rate = spec.rootHub.bytesPerSecond > 0 ? spec.rootHub.bytesPerSecond
                            : spec.usb20                    ? kUsb20SharedBytesPerSecond
                                                            : kUsb11SharedBytesPerSecond;
        buildHub(c.rootHub, spec.rootHub, c.rootHub.node, "", {std::make_shared<BusShare>(rate)});
        controllers_.push_back(std::move(c));
        ++index;
    }

    for (const auto& player : players_) {
        if (start) player->mode = start(*player);
        if (player->spec.present) {
            arrive(*player, player->mode, 0);
            // A player present from the start has settled: its volume is already there.
            if (player->mode == PlayerMode::Msc && player->spec.mountDelay) mount(*player);
        }
        for (const PlayerEvent& e : player->spec.script) {
            std::shared_ptr<SimPlayer> p = player;
            const std::uint64_t at = ms(e.atSeconds);
            schedule(at, [this, p, e, at] {
                switch (e.action) {
                    case PlayerEvent::Action::Unplug:
                        depart(*p);
                        break;
                    case PlayerEvent::Action::Plug:
                        if (!p->onBus()) arrive(*p, e.mode.value_or(p->mode), at);
                        break;
                    case PlayerEvent::Action::Switch:
                        reenumerate(*p, *e.mode, at);
                        break;
                }
            });
        }
    }
}

std::string UsbWorld::uniqueSuffix(unsigned port) {
    return format("5&%X&0&%u", 0x2A6C3F0 + 0x1F3 * nextUnique_++, port);
}

std::string UsbWorld::newDriverKey() {
    return format("{36fc9e60-c465-11cf-8056-444553540000}\\%04u", nextDriverKey_++);
}

os::DevInst UsbWorld::addNode(os::DevInst parent, const std::string& instanceId,
                              std::string* driverKey, bool hasDriver) {
    const os::DevInst id = nextNode_++;
    TreeNode node;
    node.parent = parent;
    node.instanceId = instanceId;
    node.hardwareIds = hardwareIdsOf(instanceId);
    if (hasDriver) node.driverKey = newDriverKey();
    if (driverKey) *driverKey = node.driverKey;
    nodes_[id] = node;
    if (parent != 0) nodes_[parent].children.push_back(id);
    return id;
}

void UsbWorld::removeNode(os::DevInst node) {
    auto it = nodes_.find(node);
    if (it == nodes_.end()) return;
    const std::vector<os::DevInst> children = it->second.children;
    for (os::DevInst c : children) removeNode(c);
    const os::DevInst parent = it->second.parent;
    nodes_.erase(node);
    auto p = nodes_.find(parent);
    if (p != nodes_.end()) std::erase(p->second.children, node);
}

void UsbWorld::buildHub(SimHub& hub, const HubSpec& spec, os::DevInst hubNode,
                        const std::string& prefix,
                        const std::vector<std::shared_ptr<BusShare>>& links) {
    unsigned port = 0;
    for (const PortSpec& p : spec.ports) {
        ++port;
        const std::string layer = prefix.empty() ? std::to_string(port) : prefix + "-" + std::to_string(port);
        SimPort sp;
        if (p.kind == PortSpec::Kind::Hub) {
            sp.hub = std::make_unique<SimHub>();
            const std::string id = "USB\\VID_05E3&PID_0608\\" + uniqueSuffix(port);
            sp.hub->node = addNode(hubNode, id, &sp.hub->driverKey);
            sp.hub->name = interfaceName(id, kHubInterface);
            // A hub passes at most its upstream rate, which by default is its controller's.
            std::vector<std::shared_ptr<BusShare>> below = links;
            if (p.hub->bytesPerSecond > 0)
                below.insert(below.begin(), std::make_shared<BusShare>(p.hub->bytesPerSecond));
            buildHub(*sp.hub, *p.hub, sp.hub->node, layer, below);
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
        } else if (p.kind == PortSpec::Kind::Player) {
            sp.player = std::make_shared<SimPlayer>();
            sp.player->spec = *p.player;
            sp.player->mode = p.player->mode;
            sp.player->port = port;
            sp.player->layer = layer;
            sp.player->media = std::make_shared<LoaderMedia>(p.player->nand, p.player->timing,
                                                             p.player->faults);
            sp.player->media->links = links;
            sp.player->hubNode = hubNode;
            players_.push_back(sp.player);
        }
        hub.ports.push_back(std::move(sp));
    }
}

void UsbWorld::schedule(std::uint64_t atMs, std::function<void()> run) {
    events_.push_back(Event{atMs, nextSeq_++, std::move(run)});
    std::push_heap(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        return a.atMs != b.atMs ? a.atMs > b.atMs : a.seq > b.seq;
    });
}

void UsbWorld::schedulePlayer(SimPlayer& player, std::uint64_t atMs,
                              std::function<void(SimPlayer&)> run) {
    SimPlayer* p = &player;  // players live as long as the world
    const unsigned generation = player.generation;
    schedule(atMs, [p, generation, run = std::move(run)] {
        if (p->generation == generation) run(*p);
    });
}

void UsbWorld::advance(std::uint64_t nowMs) {
    const auto later = [](const Event& a, const Event& b) {
        return a.atMs != b.atMs ? a.atMs > b.atMs : a.seq > b.seq;
    };
    while (!events_.empty() && events_.front().atMs <= nowMs) {
        std::pop_heap(events_.begin(), events_.end(), later);
        Event e = std::move(events_.back());
        events_.pop_back();
        e.run();
    }
}

void UsbWorld::arrive(SimPlayer& player, PlayerMode mode, std::uint64_t t) {
    if (player.onBus()) depart(player);
    player.mode = mode;
    SimDevice d;
    d.spec = player.descriptor();
    const std::string id =
        format("USB\\VID_%04X&PID_%04X\\", d.spec.vid, d.spec.pid) + uniqueSuffix(player.port);
    // Windows has a class driver for the disk, but the CorvUsb driver only once installed.
    d.hasDriver = mode == PlayerMode::Msc || corvUsbDriver_;
    d.spec.configured = d.hasDriver;
    d.node = addNode(player.hubNode, id, &d.driverKey, d.hasDriver);
    player.devicePath = "\\\\?\\" + hashed(id) + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    player.maskRom = MaskRom{};
    if (mode == PlayerMode::Msc) {
        const std::string diskId =
            player.spec.diskId.empty()
                ? "USBSTOR\\DISK&VEN_CORV&PROD_CV50_PLAYER&REV_1.00\\" + uniqueSuffix(0) + "&0"
                : player.spec.diskId;
        player.diskNode = addNode(d.node, diskId, nullptr);
        if (player.spec.mountDelay)
            schedulePlayer(player, t + ms(*player.spec.mountDelay), [this](SimPlayer& p) { mount(p); });
    }
    player.device = std::move(d);
    if (!player.device->hasDriver && withoutDriver_) withoutDriver_(player);
}

void UsbWorld::mount(SimPlayer& player) {
    if (!player.onBus() || player.diskNode == 0 || player.driveLetter != 0) return;
    char letter = 'D';
    while (letter <= 'Z' && drives_.count(letter)) ++letter;
    if (letter > 'Z') return;  // no letter left: the volume stays without one
    const std::string target = format("\\Device\\HarddiskVolume%u", nextVolume_++);
    drives_[letter] = Drive{!player.spec.fixedDrive, target};
    player.driveLetter = letter;

    const std::string diskId = *instanceId(player.diskNode);
    const std::string volumeId = "STORAGE\\VOLUME\\1&19F7E59C&0&_??_" + hashed(diskId);
    player.volumeNode = addNode(player.diskNode, volumeId, nullptr);

    // Each Windows generation names the volume's interfaces its own way.
    std::string path;
    VolumeInterface iface;
    if (windows_.major <= 5) {
        path = "\\\\?\\" + hashed(volumeId) + "#{53f5630a-b6bf-11d0-94f2-00a0c91efb8b}";
        iface.deviceObjectName = target;
    } else if (windows_.major == 6 && windows_.minor == 0) {
        path = "\\\\?\\STORAGE#VOLUME#1&19F7E59C&0&_??_" + hashed(diskId) +
               "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
        iface.deviceObjectName = target;
    } else {
        path = "\\\\?\\WpdBusEnumRoot#UMB#2&37c186b&0&STORAGE#VOLUME#_??_" + hashed(diskId) +
               "##{10497b1b-ba51-44e5-8318-a65c837b6661}";
        iface.friendlyName =
            player.spec.friendlyName.empty() ? std::string(1, letter) + ":\\" : player.spec.friendlyName;
    }
    volumeInterfaces_[upper(path)] = iface;
    player.volumeInterfaces.push_back(upper(path));
}

void UsbWorld::dismount(SimPlayer& player) {
    for (const std::string& path : player.volumeInterfaces) volumeInterfaces_.erase(path);
    player.volumeInterfaces.clear();
    if (player.driveLetter) drives_.erase(player.driveLetter);
    player.driveLetter = 0;
    if (player.volumeNode) removeNode(player.volumeNode);
    player.volumeNode = 0;
}

void UsbWorld::depart(SimPlayer& player) {
    if (!player.onBus()) return;
    ++player.generation;
    dismount(player);
    removeNode(player.device->node);
    player.diskNode = 0;
    player.systemDiskShown = false;
    player.devicePath.clear();
    player.device.reset();
}

SimPlayer* UsbWorld::playerWithPath(const std::string& path) const {
    for (const auto& p : players_)
        if (p->onBus() && equalNoCase(p->devicePath, path)) return p.get();
    return nullptr;
}

SimPlayer* UsbWorld::playerOnDrive(char letter) const {
    for (const auto& p : players_)
        if (p->onBus() && p->driveLetter == letter && letter != 0) return p.get();
    return nullptr;
}

fwpkg::SectorDevice* UsbWorld::userDisk(char letter) const {
    SimPlayer* p = playerOnDrive(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    if (!p) return nullptr;
    LoaderMedia& media = *p->media;
    if (media.disk.layout()) return &media.userDisk;
    return &media.plainUserDisk;
}

bool UsbWorld::requestEject(os::DevInst node) {
    for (const auto& p : players_) {
        if (!p->onBus() || p->device->node != node) continue;
        const int n = p->ejectRequests++;
        if (p->spec.ejectVetoes < 0 || n < p->spec.ejectVetoes) return false;
        // Safely removed: the disk stops, the USB device stays until it is pulled.
        ++p->generation;
        dismount(*p);
        if (p->diskNode) removeNode(p->diskNode);
        p->diskNode = 0;
        return true;
    }
    return false;
}

void UsbWorld::reenumerate(SimPlayer& player, PlayerMode mode, std::uint64_t t) {
    depart(player);
    schedulePlayer(player, t + ms(player.spec.enumerateDelay),
                   [this, mode, t](SimPlayer& p) { arrive(p, mode, t + ms(p.spec.enumerateDelay)); });
}

os::PresentDevices UsbWorld::presentDevices() const {
    os::PresentDevices out;
    out.listed = true;
    for (const auto& [node, n] : nodes_) out.hardwareIds.push_back(n.hardwareIds);
    out.endError = os::error::kNoMoreItems;
    return out;
}

std::vector<os::DevInst> UsbWorld::nodesWithHardwareId(const std::string& hardwareId) const {
    std::vector<os::DevInst> out;
    for (const auto& [node, n] : nodes_)
        if (std::any_of(n.hardwareIds.begin(), n.hardwareIds.end(),
                        [&](const std::string& id) { return equalNoCase(id, hardwareId); }))
            out.push_back(node);
    return out;
}

const std::vector<std::string>& UsbWorld::hardwareIds(os::DevInst node) const {
    static const std::vector<std::string> none;
    const auto it = nodes_.find(node);
    return it == nodes_.end() ? none : it->second.hardwareIds;
}

std::vector<std::string> UsbWorld::corvUsbHardwareIds() const {
    std::vector<std::string> out;
    for (const auto& p : players_) {
        const std::string device =
            format("USB\\VID_%04X&PID_%04X", p->spec.corvUsbVid, p->spec.corvUsbPid);
        out.push_back(device + "&REV_0100");
        out.push_back(device);
    }
    return out;
}

void UsbWorld::installCorvUsbDriver(std::uint64_t t) {
    corvUsbDriver_ = true;
    for (const auto& p : players_)
        if (p->onBus() && !p->device->hasDriver) reenumerate(*p, p->mode, t);
}

os::DevInst UsbWorld::addRootDevice(const std::string& instanceId,
                                    const std::vector<std::string>& ids) {
    const os::DevInst node = addNode(root_, instanceId, nullptr, false);
    nodes_[node].hardwareIds = ids;
    return node;
}

void UsbWorld::removeRootDevice(os::DevInst node) {
    if (parent(node) == root_) removeNode(node);
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

std::uint32_t UsbWorld::logicalDrives() const {
    std::uint32_t mask = 0;
    for (const auto& [letter, drive] : drives_) mask |= 1u << (letter - 'A');
    return mask;
}

unsigned UsbWorld::driveType(char letter) const {
    auto it = drives_.find(letter);
    if (it == drives_.end()) return 1;  // DRIVE_NO_ROOT_DIR
    return it->second.removable ? os::kDriveRemovable : 3;  // DRIVE_FIXED
}

std::optional<std::string> UsbWorld::dosDeviceTarget(char letter) const {
    auto it = drives_.find(letter);
    if (it == drives_.end()) return std::nullopt;
    return it->second.target;
}

os::PropertyResult UsbWorld::interfaceProperty(const std::string& path,
                                               os::DeviceProperty p) const {
    os::PropertyResult r;
    auto it = volumeInterfaces_.find(upper(path));
    if (it == volumeInterfaces_.end()) {
        r.failedAt = os::PropertyStep::OpenInterface;
        return r;
    }
    r.text = p == os::DeviceProperty::FriendlyName ? it->second.friendlyName
                                                   : it->second.deviceObjectName;
    if (r.text.empty()) r.failedAt = os::PropertyStep::RegistryProperty;
    return r;
}

}  // namespace cv50::sim
