// The simulator's driver setup and the windows of other programs: the device list with its
// hardware ids, root-enumerated devices, the driver update from an INF file, the system's
// new-hardware and signing dialogs and the strings they are worded with.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/host.h"
#include "engine/os/error_codes.h"
#include "engine/os/multi_string.h"
#include "sim/inf_file.h"
#include "sim/last_error.h"
#include "sim/sim_os.h"
#include "sim/system_dialogs.h"
#include "sim/text.h"

namespace cv50::sim {
namespace {

constexpr std::size_t kClassNameChars = 32;  // with its NUL
constexpr std::uint32_t kSigningPatienceMs = 60'000;
constexpr std::uint32_t kSigningPollMs = 100;

// The INF file at an engine path, or nothing with the system's code for why.
std::optional<InfFile> readInf(const std::string& path, std::uint32_t& error) {
    std::ifstream in(base::hostPath(path), std::ios::binary);
    if (path.empty() || !in) {
        error = os::error::kFileNotFound;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    auto inf = InfFile::parse(text.str(), why);
    if (!inf) error = os::error::kWrongInfStyle;
    return inf;
}

bool containsNoCase(const std::vector<std::string>& list, const std::string& item) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& s) { return equalNoCase(s, item); });
}

// Whether the INF has a model with an install section for a device with these hardware ids.
bool installsFor(const InfFile& inf, const std::vector<std::string>& deviceIds) {
    const auto models = inf.models();
    return std::any_of(models.begin(), models.end(), [&](const InfFile::Model& m) {
        return inf.hasInstallSection(m.installSection) &&
               std::any_of(m.ids.begin(), m.ids.end(),
                           [&](const std::string& id) { return containsNoCase(deviceIds, id); });
    });
}

}  // namespace

os::PresentDevices SimOs::presentDevices() {
    return withWorld([](UsbWorld& w) { return w.presentDevices(); });
}

std::optional<os::InfClass> SimOs::infClass(const std::string& infPath) {
    std::uint32_t error = 0;
    const auto inf = readInf(infPath, error);
    if (!inf) return failWith<std::optional<os::InfClass>>(error, std::nullopt);
    os::InfClass c;
    c.name = inf->value("Version", "Class");
    const auto guid = parseGuid(inf->value("Version", "ClassGuid"));
    if (c.name.empty() || !guid)
        return failWith<std::optional<os::InfClass>>(os::error::kInvalidClass, std::nullopt);
    if (c.name.size() >= kClassNameChars)
        return failWith<std::optional<os::InfClass>>(os::error::kInsufficientBuffer, std::nullopt);
    c.guid = *guid;
    return c;
}

os::Handle SimOs::createDeviceInfoList(const os::InfClass& deviceClass) {
    std::lock_guard lock(mutex_);
    const os::Handle h = nextHandle_++;
    deviceSets_[h].deviceClass = deviceClass;
    return h;
}

bool SimOs::createDeviceInfo(os::Handle set, const os::InfClass& deviceClass) {
    std::lock_guard lock(mutex_);
    const auto it = deviceSets_.find(set);
    if (it == deviceSets_.end()) return failWith(os::error::kInvalidHandle, false);
    if (it->second.hasDevice || deviceClass.name.empty() ||
        deviceClass.guid != it->second.deviceClass.guid)
        return failWith(os::error::kInvalidClass, false);
    char number[16];
    std::snprintf(number, sizeof number, "%04u", nextRootDevice_++);
    it->second.hasDevice = true;
    it->second.instanceId = "ROOT\\" + upper(deviceClass.name) + "\\" + number;
    return true;
}

bool SimOs::setHardwareIds(os::Handle set, const std::vector<std::string>& ids) {
    std::lock_guard lock(mutex_);
    const auto it = deviceSets_.find(set);
    if (it == deviceSets_.end() || !it->second.hasDevice)
        return failWith(os::error::kInvalidHandle, false);
    // Kept as the system keeps the property: the multi-string the caller's ids make.
    const std::string bytes = os::packMultiString(ids);
    it->second.hardwareIds = os::parseMultiString(std::span(bytes.data(), bytes.size()));
    return true;
}

bool SimOs::callClassInstaller(os::Handle set, os::ClassInstallRequest request) {
    return withWorld([&](UsbWorld& w) {
        const auto it = deviceSets_.find(set);
        if (it == deviceSets_.end() || !it->second.hasDevice)
            return failWith(os::error::kInvalidHandle, false);
        DeviceSet& s = it->second;
        if (request == os::ClassInstallRequest::RegisterDevice) {
            if (s.node == 0) s.node = w.addRootDevice(s.instanceId, s.hardwareIds);
        } else {
            if (s.node == 0) return failWith(os::error::kNoSuchDevinst, false);
            w.removeRootDevice(s.node);
            s.node = 0;
        }
        return true;
    });
}

void SimOs::destroyDeviceInfoList(os::Handle set) {
    std::lock_guard lock(mutex_);
    deviceSets_.erase(set);
}

bool SimOs::answerSigningQuestion() {
    const DialogText dialog = signingDialog();
    os::Window window = 0;
    os::Window install = 0;
    {
        std::lock_guard lock(mutex_);
        window = desktop_.open(dialog.title, dialog.controls);
        for (os::Window c : desktop_.children(window))
            if (desktop_.text(c).value_or("").find("(&I)") != std::string::npos) install = c;
    }
    const std::uint64_t until = clock_.tickMs() + kSigningPatienceMs;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!desktop_.isOpen(window)) return false;
            if (desktop_.clicks(install) > 0) {
                desktop_.close(window);
                return true;
            }
            if (clock_.tickMs() >= until) {
                desktop_.close(window);
                return false;
            }
        }
        clock_.sleepMs(kSigningPollMs);
    }
}

bool SimOs::updateDriverForPlugAndPlayDevices(const std::string& hardwareId,
                                              const std::string& infPath, bool& restart) {
    restart = false;
    DriverUpdate update{hardwareId, infPath};
    const auto finish = [&](std::uint32_t error) {
        update.error = error;
        update.succeeded = error == 0;
        std::lock_guard lock(mutex_);
        driverUpdates_.push_back(update);
        setLastError(error);
        return error == 0;
    };
    std::uint32_t error = 0;
    const auto inf = readInf(infPath, error);
    if (!inf) return finish(error);
    const std::uint32_t matched = withWorld([&](UsbWorld& w) -> std::uint32_t {
        const auto nodes = w.nodesWithHardwareId(hardwareId);
        if (nodes.empty()) return os::error::kNoSuchDevinst;
        for (os::DevInst node : nodes)
            if (installsFor(*inf, w.hardwareIds(node))) return 0;
        return os::error::kNoDriverSelected;
    });
    if (matched != 0) return finish(matched);
    if (windows_.major >= 6 && !answerSigningQuestion()) return finish(os::error::kCancelled);
    if (driverInstall_ == DriverSpec::Install::Fail) return finish(os::error::kGenFailure);
    withWorld([&](UsbWorld& w) {
        if (installsFor(*inf, w.corvUsbHardwareIds())) w.installCorvUsbDriver(clock_.tickMs());
        return 0;
    });
    restart = update.restart = driverInstall_ == DriverSpec::Install::Restart;
    return finish(0);
}

std::vector<SimOs::DriverUpdate> SimOs::driverUpdates() const {
    std::lock_guard lock(mutex_);
    return driverUpdates_;
}

std::optional<std::vector<os::Window>> SimOs::topLevelWindows() {
    return withWorld([&](UsbWorld&) {
        windowCalls_.push_back({WindowCall::Kind::List, ""});
        return std::optional(desktop_.topLevel());
    });
}

std::vector<os::Window> SimOs::childWindows(os::Window parent) {
    return withWorld([&](UsbWorld&) {
        windowCalls_.push_back({WindowCall::Kind::Children, desktop_.text(parent).value_or("")});
        return desktop_.children(parent);
    });
}

std::string SimOs::windowText(os::Window window) {
    return withWorld([&](UsbWorld&) {
        const std::string text = desktop_.text(window).value_or("");
        windowCalls_.push_back({WindowCall::Kind::Text, text});
        return text;
    });
}

void SimOs::closeWindow(os::Window window) {
    withWorld([&](UsbWorld&) {
        windowCalls_.push_back({WindowCall::Kind::Close, desktop_.text(window).value_or("")});
        return desktop_.close(window);
    });
}

void SimOs::clickButton(os::Window window) {
    withWorld([&](UsbWorld&) {
        windowCalls_.push_back({WindowCall::Kind::Click, desktop_.text(window).value_or("")});
        return desktop_.click(window);
    });
}

os::Window SimOs::openWindow(const std::string& title,
                             const std::vector<SimDesktop::Control>& controls) {
    std::lock_guard lock(mutex_);
    return desktop_.open(title, controls);
}

std::vector<std::string> SimOs::windowTitles() {
    return withWorld([&](UsbWorld&) {
        std::vector<std::string> titles;
        for (os::Window w : desktop_.topLevel()) titles.push_back(desktop_.text(w).value_or(""));
        return titles;
    });
}

std::vector<SimOs::WindowCall> SimOs::windowCalls() const {
    std::lock_guard lock(mutex_);
    return windowCalls_;
}

std::optional<std::string> SimOs::resourceString(os::Handle library, unsigned id) {
    auto text = systemString(library, id);
    return text ? text : failWith<std::optional<std::string>>(os::error::kResourceNotFound, {});
}

std::string SimOs::systemFolder() { return kSystemFolder; }

}  // namespace cv50::sim
