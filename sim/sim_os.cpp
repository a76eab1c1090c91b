// The simulator's implementation of the os seam.
#include "sim/sim_os.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cv50::sim {
namespace {

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](unsigned char a, unsigned char b) {
               return std::tolower(a) == std::tolower(b);
           });
}

}  // namespace

SimOs::SimOs(const Scenario& scenario)
    : world_(scenario), clock_(scenario.speed, scenario.startTime), windows_(scenario.windows) {}

std::vector<std::string> SimOs::hostControllerPaths() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const SimController& c : world_.controllers()) paths.push_back(c.interfacePath);
    return paths;
}

os::Handle SimOs::openDevice(const std::string& path) {
    std::lock_guard lock(mutex_);
    Target target;
    const auto& controllers = world_.controllers();
    for (std::size_t i = 0; i < controllers.size(); ++i) {
        const bool legacy = i < 10 && path.size() == 8 &&
                            startsWithNoCase(path, "\\\\.\\HCD") && path[7] == char('0' + i);
        if (legacy || (startsWithNoCase(path, controllers[i].interfacePath) &&
                          path.size() == controllers[i].interfacePath.size())) {
            target.controller = static_cast<int>(i);
        }
    }
    if (target.controller < 0) {
        if (!startsWithNoCase(path, "\\\\.\\")) return 0;
        const SimHub* hub = world_.findHub(path.substr(4));
        if (!hub) return 0;
        target.hubName = hub->name;
    }
    const os::Handle h = nextHandle_++;
    handles_[h] = target;
    return h;
}

void SimOs::closeHandle(os::Handle h) {
    std::lock_guard lock(mutex_);
    handles_.erase(h);
}

std::optional<std::string> SimOs::rootHubName(os::Handle controller) {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(controller);
    if (it == handles_.end() || it->second.controller < 0) return std::nullopt;
    return world_.controllers()[it->second.controller].rootHub.name;
}

const SimHub* SimOs::hubFor(os::Handle h) const {
    auto it = handles_.find(h);
    if (it == handles_.end() || it->second.hubName.empty()) return nullptr;
    return world_.findHub(it->second.hubName);
}

const SimPort* SimOs::portFor(os::Handle hub, unsigned port) const {
    const SimHub* h = hubFor(hub);
    if (!h || port == 0 || port > h->ports.size()) return nullptr;
    return &h->ports[port - 1];
}

std::optional<unsigned> SimOs::hubPortCount(os::Handle hub) {
    std::lock_guard lock(mutex_);
    const SimHub* h = hubFor(hub);
    if (!h) return std::nullopt;
    return static_cast<unsigned>(h->ports.size());
}

std::optional<os::ConnectionInfo> SimOs::connectionInfo(os::Handle hub, unsigned port) {
    std::lock_guard lock(mutex_);
    const SimPort* p = portFor(hub, port);
    if (!p) return std::nullopt;
    os::ConnectionInfo info;
    if (p->hub) {
        info.connectionStatus = 1;
        info.deviceIsHub = true;
        info.idVendor = 0x05E3;
        info.idProduct = 0x0608;
        info.bcdUSB = 0x0200;
        info.currentConfigurationValue = 1;
    } else if (p->device) {
        const DeviceSpec& d = p->device->spec;
        info.connectionStatus = 1;
        info.idVendor = d.vid;
        info.idProduct = d.pid;
        info.bcdUSB = d.bcdUSB;
        info.currentConfigurationValue = d.configured ? 1 : 0;
    }
    return info;
}

std::optional<std::string> SimOs::downstreamHubName(os::Handle hub, unsigned port) {
    std::lock_guard lock(mutex_);
    const SimPort* p = portFor(hub, port);
    if (!p || !p->hub) return std::nullopt;
    return p->hub->name;
}

std::optional<std::string> SimOs::driverKeyName(os::Handle hub, unsigned port) {
    std::lock_guard lock(mutex_);
    const SimPort* p = portFor(hub, port);
    if (!p) return std::nullopt;
    if (p->hub) return p->hub->driverKey;
    if (p->device) return p->device->driverKey;
    return std::nullopt;
}

os::DevInst SimOs::deviceTreeRoot() {
    std::lock_guard lock(mutex_);
    return world_.treeRoot();
}

os::DevInst SimOs::deviceTreeChild(os::DevInst node) {
    std::lock_guard lock(mutex_);
    return world_.child(node);
}

os::DevInst SimOs::deviceTreeSibling(os::DevInst node) {
    std::lock_guard lock(mutex_);
    return world_.sibling(node);
}

os::DevInst SimOs::deviceTreeParent(os::DevInst node) {
    std::lock_guard lock(mutex_);
    return world_.parent(node);
}

std::optional<std::string> SimOs::deviceDriverKey(os::DevInst node) {
    std::lock_guard lock(mutex_);
    return world_.driverKey(node);
}

std::optional<std::string> SimOs::deviceInstanceId(os::DevInst node) {
    std::lock_guard lock(mutex_);
    return world_.instanceId(node);
}

std::string SimOs::hostPath(const std::string& enginePath) {
#ifdef _WIN32
    return enginePath;
#else
    std::string p = enginePath;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
#endif
}

bool SimOs::pathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(hostPath(path), ec);
}

std::FILE* SimOs::openExclusiveReadWrite(const std::string& path) {
    // One open that creates or keeps the file: never truncates a log that exists.
    const std::string host = hostPath(path);
#ifdef _WIN32
    int fd = -1;
    if (_sopen_s(&fd, host.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _SH_DENYRW,
                 _S_IREAD | _S_IWRITE) != 0)
        return nullptr;
    std::FILE* f = _fdopen(fd, "r+b");
    if (!f) _close(fd);
#else
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "r+b");
    if (!f) ::close(fd);
#endif
    return f;
}

std::unique_ptr<os::Os> makeProcessSimulator(const std::string& path) {
    try {
        const Scenario s = path.empty() ? parseScenario(sampleScenarioText(), "built-in sample world")
                                        : loadScenarioFile(path);
        return std::make_unique<SimOs>(s);
    } catch (const ScenarioError& e) {
        std::cerr << "cv50 simulator: " << e.what() << "; using an empty USB world\n";
        return std::make_unique<SimOs>(Scenario{});
    }
}

}  // namespace cv50::sim
