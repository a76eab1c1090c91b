// The simulator's implementation of the os seam.
#include "sim/sim_os.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "base/host.h"
#include "base/unicode.h"
#include "engine/os/error_codes.h"
#include "engine/os/scsi_pass_through.h"
#include "sim/format_library.h"
#include "sim/host_services.h"
#include "sim/last_error.h"
#include "sim/msc_firmware.h"
#include "sim/player_state.h"
#include "sim/system_dialogs.h"
#include "sim/text.h"

namespace cv50::sim {
namespace {

// The system's code for a failed file call of the host's C library.
std::uint32_t systemErrorOf(int hostErrno, const std::string& hostFile) {
    switch (hostErrno) {
        case ENOENT: {
            std::error_code ec;
            const auto parent = std::filesystem::path(hostFile).parent_path();
            return parent.empty() || std::filesystem::is_directory(parent, ec)
                       ? os::error::kFileNotFound
                       : os::error::kPathNotFound;
        }
        case ENOTDIR:
            return os::error::kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return os::error::kAccessDenied;
        case EBUSY:
            return os::error::kSharingViolation;
        case EEXIST:
            return os::error::kFileExists;
        case ENOSPC:
            return os::error::kDiskFull;
        case EINVAL:
            return os::error::kInvalidParameter;
        default:
            return os::error::kGenFailure;
    }
}

// A file call's result: on failure the thread's last error is the system's code for errno.
std::FILE* fileResult(std::FILE* f, const std::string& hostFile) {
    if (f == nullptr) setLastError(systemErrorOf(errno, hostFile));
    return f;
}

}  // namespace

SimOs::SimOs(const Scenario& scenario)
    : world_(
          scenario,
          [folder = hostStateFolder(scenario)](SimPlayer& player) {
              loadPlayerState(player, folder);
              return startMode(player);
          },
          [this, windows = scenario.windows](SimPlayer&) {
              const DialogText dialog = newHardwareDialog(windows);
              if (desktop_.find(dialog.title) == 0) desktop_.open(dialog.title, dialog.controls);
          }),
      clock_(scenario.speed, scenario.startTime),
      windows_(scenario.windows),
      stateFolder_(hostStateFolder(scenario)),
      keeper_(stateFolder_),
      driverInstall_(scenario.corvUsbDriver.install),
      formatLibrary_(scenario.formatLibrary) {
    volumeProvider_ = [this](char letter) { return userDiskDevice(letter); };
    std::lock_guard lock(mutex_);
    reconcileEndpoints();
    keeper_.started(world_.players());
    if (keeper_.keeps() && keepStateOnAThread())
        keeperThread_ = std::thread([this] { keepStateWhileRunning(); });
}

SimOs::~SimOs() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    keeperWake_.notify_all();
    if (keeperThread_.joinable()) keeperThread_.join();
    forgetFormatHost(*this);
    for (const auto& p : world_.players()) {
        p->endpoint.reset();
        savePlayerState(*p, stateFolder_);
    }
}

void SimOs::sync() {
    world_.advance(clock_.tickMs());
    reconcileEndpoints();
    keeper_.keepChanged(world_.players(), true);
}

void SimOs::keepStateWhileRunning() {
    std::unique_lock lock(mutex_);
    // Host time: a killed process loses at most this much of what its players wrote.
    const auto every = std::chrono::milliseconds(StateKeeper::kKeepEveryMs);
    while (!keeperWake_.wait_for(lock, every, [this] { return stopping_; }))
        keeper_.keepChanged(world_.players(), false);
}

void SimOs::reconcileEndpoints() {
    for (const auto& shared : world_.players()) {
        SimPlayer* p = shared.get();
        const bool answers =
            p->onBus() && p->device->hasDriver &&
            (p->mode == PlayerMode::Loader ||
             (p->mode == PlayerMode::MaskRom && p->maskRom.booted()));
        // Every operation comes by here: the player's path is compared, not upper-cased again.
        if (answers && p->endpoint && p->endpointPath == p->devicePath) {
            if (p->endpointFoundAt == endpointChanges_) continue;
            const auto it = endpoints_.find(p->endpointKey);
            if (it != endpoints_.end() && it->second == p->endpoint) {
                p->endpointFoundAt = endpointChanges_;
                continue;
            }
        }
        if (p->endpoint) {
            for (auto it = endpoints_.begin(); it != endpoints_.end();)
                it = it->second == p->endpoint ? endpoints_.erase(it) : std::next(it);
            p->endpoint.reset();
            ++endpointChanges_;
        }
        if (!answers) continue;
        const std::string key = upper(p->devicePath);
        p->endpoint = std::make_shared<LoaderEndpoint>(p->media, clock_);
        const unsigned generation = p->generation;
        p->endpoint->onReset = [this, p, generation](bool flag) {
            playerReset(p, generation, flag, Restart::Reset);
        };
        // Power that fails and comes back is a power-on: like a reset with the flag, it starts
        // the firmware when the system disk holds an image.
        p->endpoint->onPowerCut = [this, p, generation] {
            playerReset(p, generation, true, Restart::PowerBack);
        };
        p->endpointPath = p->devicePath;
        p->endpointKey = key;
        endpoints_[key] = p->endpoint;
        ++endpointChanges_;
    }
}

void SimOs::playerReset(SimPlayer* player, unsigned generation, bool resetFlag, Restart why) {
    std::lock_guard lock(mutex_);
    sync();
    restartPlayer(*player, generation, resetFlag, why);
}

void SimOs::restartPlayer(SimPlayer& player, unsigned generation, bool resetFlag, Restart why) {
    // A flash whose power failed has it again when the player comes back.
    player.media->nand.restorePower();
    if (!player.onBus() || player.generation != generation) return;
    const PlayerMode next = resetMode(player, resetFlag);
    if (why == Restart::Reset && ++player.resets == player.spec.faults.neverReturnAtReset) {
        // Gone for good; a scripted plug brings it back in the mode its boot ROM chose.
        player.mode = next;
        world_.depart(player);
    } else {
        world_.reenumerate(player, next, clock_.tickMs());
    }
    reconcileEndpoints();
    keeper_.keepChanged(world_.players(), true);
}

std::string SimOs::hostStateFolder(const Scenario& scenario) {
    if (scenario.stateFolder.empty()) return {};
    const std::string folder = base::hostPath(scenario.stateFolder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::vector<std::string> SimOs::hostControllerPaths() {
    return withWorld([&](UsbWorld&) -> std::vector<std::string> {
        std::vector<std::string> paths;
        for (const SimController& c : world_.controllers()) paths.push_back(c.interfacePath);
        return paths;
    });
}

os::Handle SimOs::openDevice(const std::string& path) {
    const auto opened = withWorld([&](UsbWorld&) -> os::Handle {
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
    });
    return opened ? opened : failWith<os::Handle>(os::error::kFileNotFound, 0);
}

void SimOs::closeHandle(os::Handle h) {
    std::lock_guard lock(mutex_);
    handles_.erase(h);
}

std::optional<std::string> SimOs::rootHubName(os::Handle controller) {
    return withWorld([&](UsbWorld&) -> std::optional<std::string> {
        auto it = handles_.find(controller);
        if (it == handles_.end() || it->second.controller < 0) return std::nullopt;
        return world_.controllers()[it->second.controller].rootHub.name;
    });
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
    return withWorld([&](UsbWorld&) -> std::optional<unsigned> {
        const SimHub* h = hubFor(hub);
        if (!h) return std::nullopt;
        return static_cast<unsigned>(h->ports.size());
    });
}

std::optional<os::ConnectionInfo> SimOs::connectionInfo(os::Handle hub, unsigned port) {
    return withWorld([&](UsbWorld&) -> std::optional<os::ConnectionInfo> {
        const SimPort* p = portFor(hub, port);
        if (!p) return std::nullopt;
        os::ConnectionInfo info;
        const SimDevice* device = p->device                         ? &*p->device
                                  : p->player && p->player->onBus() ? &*p->player->device
                                                                    : nullptr;
        if (p->hub) {
            info.connectionStatus = 1;
            info.deviceIsHub = true;
            info.idVendor = 0x05E3;
            info.idProduct = 0x0608;
            info.bcdUSB = 0x0200;
            info.currentConfigurationValue = 1;
        } else if (device) {
            const DeviceSpec& d = device->spec;
            info.connectionStatus = 1;
            info.idVendor = d.vid;
            info.idProduct = d.pid;
            info.bcdUSB = d.bcdUSB;
            info.currentConfigurationValue = d.configured ? 1 : 0;
        }
        return info;
    });
}

std::optional<std::string> SimOs::downstreamHubName(os::Handle hub, unsigned port) {
    return withWorld([&](UsbWorld&) -> std::optional<std::string> {
        const SimPort* p = portFor(hub, port);
        if (!p || !p->hub) return std::nullopt;
        return p->hub->name;
    });
}

std::optional<std::string> SimOs::driverKeyName(os::Handle hub, unsigned port) {
    return withWorld([&](UsbWorld&) -> std::optional<std::string> {
        const SimPort* p = portFor(hub, port);
        if (!p) return std::nullopt;
        if (p->hub) return p->hub->driverKey;
        if (p->device) return p->device->driverKey;
        // A device without a driver has no driver key.
        if (p->player && p->player->onBus() && p->player->device->hasDriver)
            return p->player->device->driverKey;
        return std::nullopt;
    });
}

os::DevInst SimOs::deviceTreeRoot() {
    return withWorld([&](UsbWorld& w) { return w.treeRoot(); });
}

os::DevInst SimOs::deviceTreeChild(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.child(node); });
}

os::DevInst SimOs::deviceTreeSibling(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.sibling(node); });
}

os::DevInst SimOs::deviceTreeParent(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.parent(node); });
}

std::optional<std::string> SimOs::deviceDriverKey(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.driverKey(node); });
}

std::optional<std::string> SimOs::deviceInstanceId(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.instanceId(node); });
}

std::uint32_t SimOs::logicalDrives() {
    return withWorld([&](UsbWorld& w) { return w.logicalDrives(); });
}

unsigned SimOs::driveType(char letter) {
    return withWorld([&](UsbWorld& w) { return w.driveType(letter); });
}

std::optional<std::string> SimOs::dosDeviceTarget(char letter) {
    return withWorld([&](UsbWorld& w) { return w.dosDeviceTarget(letter); });
}

os::PropertyResult SimOs::interfaceProperty(const std::string& interfacePath,
                                            os::DeviceProperty property) {
    return withWorld([&](UsbWorld& w) { return w.interfaceProperty(interfacePath, property); });
}

bool SimOs::pathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(base::hostPath(path), ec);
}

std::FILE* SimOs::openExclusiveReadWrite(const std::string& path) {
    // One open that creates or keeps the file: never truncates a log that exists.
    if (path.empty()) return failWith<std::FILE*>(os::error::kPathNotFound, nullptr);
    const std::string host = base::hostPath(path);
    return fileResult(base::openExclusiveReadWrite(host), host);
}

std::FILE* SimOs::openFile(const std::string& path, const char* mode) {
    if (path.empty() || mode == nullptr)
        return failWith<std::FILE*>(os::error::kInvalidParameter, nullptr);
    const std::string host = base::hostPath(path);
    // The system refuses to open a folder as a file; the C library may not.
    std::error_code ec;
    if (std::filesystem::is_directory(host, ec))
        return failWith<std::FILE*>(os::error::kAccessDenied, nullptr);
    return fileResult(std::fopen(host.c_str(), mode), host);
}

bool SimOs::deleteFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path host = base::hostPath(path);
    if (path.empty() || !std::filesystem::exists(host, ec))
        return failWith(os::error::kFileNotFound, false);
    if (!std::filesystem::is_regular_file(host, ec))
        return failWith(os::error::kAccessDenied, false);
    if (std::filesystem::remove(host, ec)) return true;
    return failWith(systemErrorOf(ec.default_error_condition().value(), host.string()), false);
}

std::optional<std::uint64_t> SimOs::fileSize(const std::string& path) {
    std::error_code ec;
    if (path.empty()) return failWith<std::optional<std::uint64_t>>(os::error::kPathNotFound, {});
    const std::string host = base::hostPath(path);
    const std::uintmax_t size = std::filesystem::file_size(host, ec);
    if (ec)
        return failWith<std::optional<std::uint64_t>>(
            systemErrorOf(ec.default_error_condition().value(), host), {});
    return static_cast<std::uint64_t>(size);
}

bool SimOs::createFolder(const std::string& path) {
    if (path.empty()) return failWith(os::error::kPathNotFound, false);
    const std::string host = base::hostPath(path);
    std::error_code ec;
    if (std::filesystem::create_directory(host, ec) || std::filesystem::is_directory(host, ec))
        return true;
    return failWith(
        ec ? systemErrorOf(ec.default_error_condition().value(), host) : os::error::kFileExists,
        false);
}

std::uint32_t SimOs::lastError() { return lastErrorOfThread(); }

namespace {

// The host's form of a folder, ending in the engine's separator.
std::string engineFolder(std::string host) {
    while (host.size() > 1 && (host.back() == '/' || host.back() == '\\')) host.pop_back();
    return host + "\\";
}

}  // namespace

void SimOs::attachEndpoint(const std::string& devicePath,
                           std::shared_ptr<CorvUsbEndpoint> endpoint) {
    std::lock_guard lock(mutex_);
    endpoints_[upper(devicePath)] = std::move(endpoint);
    ++endpointChanges_;
}

void SimOs::detachEndpoint(const std::string& devicePath) {
    std::lock_guard lock(mutex_);
    endpoints_.erase(upper(devicePath));
    ++endpointChanges_;
}

os::Handle SimOs::openReadWrite(const std::string& path) {
    const auto opened = withWorld([&](UsbWorld&) -> os::Handle {
        const std::string key = upper(path);
        // A disk volume: "\\.\X:".
        if (key.size() == 6 && key.compare(0, 4, "\\\\.\\") == 0 && key[5] == ':') {
            SimPlayer* player = world_.playerOnDrive(key[4]);
            if (!player) return 0;
            Target target;
            target.volume = key[4];
            target.generation = player->generation;
            const os::Handle h = nextHandle_++;
            handles_[h] = target;
            return h;
        }
        // A player's device itself, as the mask-ROM download opens it, once it has a driver.
        if (SimPlayer* player = world_.playerWithPath(path)) {
            if (!player->device->hasDriver) return 0;
            Target target;
            target.player = player;
            target.generation = player->generation;
            const os::Handle h = nextHandle_++;
            handles_[h] = target;
            return h;
        }
        constexpr std::size_t kPipeSuffix = 7;  // "\PIPE00"
        if (key.size() <= kPipeSuffix) return 0;
        const std::string suffix = key.substr(key.size() - kPipeSuffix);
        if (suffix != "\\PIPE00" && suffix != "\\PIPE01") return 0;
        auto it = endpoints_.find(key.substr(0, key.size() - kPipeSuffix));
        if (it == endpoints_.end()) return 0;
        Target target;
        target.endpoint = it->second;
        target.writePipe = suffix == "\\PIPE00";
        const os::Handle h = nextHandle_++;
        handles_[h] = target;
        return h;
    });
    return opened ? opened : failWith<os::Handle>(os::error::kFileNotFound, 0);
}

long long SimOs::timedOut(std::uint32_t timeoutMs) {
    // The transfer waits out the host's bound, as a pipe to a silent device does.
    waitedOnSilentMs_ += timeoutMs;
    clock_.sleepMs(timeoutMs);
    return failWith(os::error::kSemTimeout, -1LL);
}

long long SimOs::writeHandle(os::Handle h, const void* data, std::size_t size,
                             std::uint32_t timeoutMs) {
    std::shared_ptr<CorvUsbEndpoint> endpoint;
    {
        std::lock_guard lock(mutex_);
        auto it = handles_.find(h);
        if (it == handles_.end() || !it->second.writePipe)
            return failWith(os::error::kInvalidHandle, -1LL);
        endpoint = it->second.endpoint.lock();
        // A device that left the bus keeps no pipe, even if its object lives on.
        if (!endpoint || std::none_of(endpoints_.begin(), endpoints_.end(),
                                      [&](const auto& e) { return e.second == endpoint; }))
            return failWith(os::error::kDeviceNotConnected, -1LL);
    }
    if (!endpoint->answers()) return timedOut(timeoutMs);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (endpoint->hostWrite(std::span(bytes, size))) return static_cast<long long>(size);
    return failWith(os::error::kGenFailure, -1LL);
}

long long SimOs::readHandle(os::Handle h, void* data, std::size_t size, std::uint32_t timeoutMs) {
    std::shared_ptr<CorvUsbEndpoint> endpoint;
    {
        std::lock_guard lock(mutex_);
        auto it = handles_.find(h);
        if (it == handles_.end() || it->second.writePipe)
            return failWith(os::error::kInvalidHandle, -1LL);
        endpoint = it->second.endpoint.lock();
        if (!endpoint || std::none_of(endpoints_.begin(), endpoints_.end(),
                                      [&](const auto& e) { return e.second == endpoint; }))
            return failWith(os::error::kDeviceNotConnected, -1LL);
    }
    if (!endpoint->answers()) return timedOut(timeoutMs);
    const long long got = endpoint->hostRead(std::span(static_cast<std::uint8_t*>(data), size));
    return got >= 0 ? got : failWith(os::error::kGenFailure, -1LL);
}

bool SimOs::deviceIoControl(os::Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                            void* out, std::size_t outSize, std::uint32_t* returned,
                            std::uint32_t /*timeoutMs*/) {
    const auto answered = withWorld([&](UsbWorld&) -> bool {
        if (returned) *returned = 0;
        auto it = handles_.find(h);
        if (it == handles_.end()) return false;
        const Target& target = it->second;
        if (target.volume != 0 && code == os::scsi::kIoctlScsiPassThrough) {
            SimPlayer* player = world_.playerOnDrive(target.volume);
            // A volume handle dies with the volume it was opened on.
            if (!player || player->generation != target.generation) return false;
            const std::size_t size = os::scsi::kNativeLayout.requestSize;
            if (in == nullptr || out == nullptr || inSize < size || outSize < size) return false;
            std::vector<std::uint8_t> request(static_cast<const std::uint8_t*>(in),
                                              static_cast<const std::uint8_t*>(in) + inSize);
            if (!answerScsiRequest(world_, *player, request, clock_.tickMs())) return false;
            std::copy_n(request.begin(), size, static_cast<std::uint8_t*>(out));
            if (returned) *returned = static_cast<std::uint32_t>(size);
            return true;
        }
        if (target.player != nullptr) {
            SimPlayer& player = *target.player;
            // A handle dies with the enumeration it was opened on.
            if (!player.onBus() || player.generation != target.generation) return false;
            if (player.mode != PlayerMode::MaskRom || (in == nullptr && inSize > 0)) return false;
            const long long taken = player.maskRom.request(
                code, std::span(static_cast<const std::uint8_t*>(in), inSize));
            if (taken < 0) return false;
            if (returned) *returned = static_cast<std::uint32_t>(taken);
            reconcileEndpoints();  // the booted programs now answer on the pipes
            return true;
        }
        return false;
    });
    return answered || failWith(os::error::kGenFailure, false);
}

bool SimOs::requestEject(os::DevInst node) {
    return withWorld([&](UsbWorld& w) { return w.requestEject(node); });
}

os::Handle SimOs::loadLibrary(const std::string& name) {
    if (const auto system = systemLibraryHandle(name)) return *system;
    if (isFormatLibraryName(name))
        return formatLibrary_ ? kFormatLibraryHandle
                              : failWith<os::Handle>(os::error::kModuleNotFound, 0);
    for (const std::string& file : base::libraryCandidates(name, base::hostPath(programFolder())))
        if (void* lib = base::openLibrary(file))
            return static_cast<os::Handle>(reinterpret_cast<std::uintptr_t>(lib));
    return failWith<os::Handle>(os::error::kModuleNotFound, 0);
}

void* SimOs::libraryFunction(os::Handle library, const std::string& name) {
    if (library == 0) return failWith<void*>(os::error::kInvalidHandle, nullptr);
    // The simulated system libraries are reached through their own seam calls only.
    if (library == kNewDeviceLibraryHandle || library == kShellLibraryHandle)
        return failWith<void*>(os::error::kProcedureNotFound, nullptr);
    void* function =
        library == kFormatLibraryHandle
            ? (name == "FormatEx" ? formatExFunction(*this) : nullptr)
            : base::librarySymbol(reinterpret_cast<void*>(static_cast<std::uintptr_t>(library)),
                                  name.c_str());
    return function ? function : failWith<void*>(os::error::kProcedureNotFound, nullptr);
}

void SimOs::freeLibrary(os::Handle library) {
    if (library == 0 || library == kFormatLibraryHandle || library == kNewDeviceLibraryHandle ||
        library == kShellLibraryHandle)
        return;
    base::closeLibrary(reinterpret_cast<void*>(static_cast<std::uintptr_t>(library)));
}

void SimOs::setTempFolder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    tempFolder_ = folder;
}

std::string SimOs::tempFolder() {
    {
        std::lock_guard lock(mutex_);
        if (tempFolder_) return *tempFolder_;
    }
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec);
    return ec ? std::string() : engineFolder(dir.string());
}

std::u16string SimOs::tempFolderW() { return base::utf16FromUtf8(tempFolder()); }

std::optional<std::string> SimOs::narrowFromWide(const std::u16string& text) {
    std::string narrow = base::utf8FromUtf16(text);
    // A lone surrogate came out as U+FFFD: it has no UTF-8 form.
    if (base::utf16FromUtf8(narrow) != text) return std::nullopt;
    return narrow;
}

std::string SimOs::programFolder() {
    const std::filesystem::path exe(base::executablePath());
    return exe.has_parent_path() ? engineFolder(exe.parent_path().string()) : std::string();
}

void SimOs::setMessageAnswerer(MessageAnswerer answerer) {
    std::lock_guard lock(messageMutex_);
    messageAnswerer_ = std::move(answerer);
}

std::vector<SimOs::ShownMessage> SimOs::shownMessages() const {
    std::lock_guard lock(messageMutex_);
    return shownMessages_;
}

os::MessageAnswer SimOs::messageBox(const std::string& text, const std::string& caption,
                                    os::MessageButtons buttons, os::MessageIcon icon) {
    ShownMessage shown{text, caption, buttons, icon, os::MessageAnswer::Ok};
    MessageAnswerer answerer;
    {
        std::lock_guard lock(messageMutex_);
        answerer = messageAnswerer_;
    }
    shown.answer = answerer ? answerer(shown) : answerOnHost(text, caption, buttons, icon);
    std::lock_guard lock(messageMutex_);
    shownMessages_.push_back(shown);
    return shown.answer;
}

std::unique_ptr<os::Os> makeProcessSimulator(const std::string& path) {
    try {
        const Scenario s = path.empty()
                               ? parseScenario(sampleScenarioText(), "built-in sample world")
                               : loadScenarioFile(path);
        return std::make_unique<SimOs>(s);
    } catch (const ScenarioError& e) {
        std::cerr << "cv50 simulator: " << e.what() << "; using an empty USB world\n";
        return std::make_unique<SimOs>(Scenario{});
    }
}

}  // namespace cv50::sim
