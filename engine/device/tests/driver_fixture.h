// Tests of the driver installation: simulated PCs with or without the CorvUsb driver, and a
// backend that breaks one setup or window call of the simulator's.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "base/text.h"
#include "engine/device/records.h"
#include "engine/device/tests/log_capture.h"
#include "engine/os/error_codes.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"
#include "sim/testing/forwarding_os.h"

namespace cv50::device::testing {

// The call a BreakingOs makes fail.
enum class Break {
    None,
    WindowsVersion,     // the version cannot be read
    NewDeviceLibrary,   // newdev.dll cannot be loaded
    Strings,            // the system libraries have none of the strings
    WindowList,         // the top-level windows cannot be listed
    FindFile,           // the INF is there but a file search does not find it
    DeviceList,         // the device list cannot be made
    DeviceEnumeration,  // the device enumeration stops with an error
    ThrowInDeviceList,  // the device list cannot be allocated
    InfClass,
    CreateList,
    CreateInfo,
    HardwareIds,
    Register,
    Remove,
};

class BreakingOs : public sim::testing::ForwardingOs {
public:
    BreakingOs(std::unique_ptr<os::Os> inner, Break broken)
        : ForwardingOs(std::move(inner)), broken_(broken) {}

    os::WindowsVersion windowsVersion() override {
        return broken_ == Break::WindowsVersion ? os::WindowsVersion{}
                                                : ForwardingOs::windowsVersion();
    }
    os::Handle loadLibrary(const std::string& name) override {
        const bool newDevice = name.size() >= 10 && base::equalNoCase(name.substr(name.size() - 10),
                                                                      "newdev.dll");
        return broken_ == Break::NewDeviceLibrary && newDevice ? 0 : ForwardingOs::loadLibrary(name);
    }
    std::optional<std::string> resourceString(os::Handle library, unsigned id) override {
        if (broken_ == Break::Strings) return std::nullopt;
        return ForwardingOs::resourceString(library, id);
    }
    std::optional<std::vector<os::Window>> topLevelWindows() override {
        if (broken_ == Break::WindowList) return std::nullopt;
        return ForwardingOs::topLevelWindows();
    }
    std::vector<os::FoundFile> findFiles(const std::string& pattern) override {
        if (broken_ == Break::FindFile) return {};
        return ForwardingOs::findFiles(pattern);
    }
    os::PresentDevices presentDevices() override {
        if (broken_ == Break::DeviceList) return {};
        if (broken_ == Break::ThrowInDeviceList) throw std::bad_alloc();
        os::PresentDevices devices = ForwardingOs::presentDevices();
        if (broken_ == Break::DeviceEnumeration) devices.endError = os::error::kGenFailure;
        return devices;
    }
    std::optional<os::InfClass> infClass(const std::string& infPath) override {
        if (broken_ == Break::InfClass) return std::nullopt;
        return ForwardingOs::infClass(infPath);
    }
    os::Handle createDeviceInfoList(const os::InfClass& c) override {
        return broken_ == Break::CreateList ? 0 : ForwardingOs::createDeviceInfoList(c);
    }
    bool createDeviceInfo(os::Handle set, const os::InfClass& c) override {
        return broken_ != Break::CreateInfo && ForwardingOs::createDeviceInfo(set, c);
    }
    bool setHardwareIds(os::Handle set, const std::vector<std::string>& ids) override {
        return broken_ != Break::HardwareIds && ForwardingOs::setHardwareIds(set, ids);
    }
    bool callClassInstaller(os::Handle set, os::ClassInstallRequest request) override {
        if (broken_ == Break::Register && request == os::ClassInstallRequest::RegisterDevice)
            return false;
        if (broken_ == Break::Remove && request == os::ClassInstallRequest::Remove) return false;
        return ForwardingOs::callClassInstaller(set, request);
    }

private:
    const Break broken_;
};

// Options of a simulated PC with one port.
struct Pc {
    std::string windows = "10.0";
    // Fast, unless the test needs the signing question answered: the engine's 5 s of
    // searching for it must outlast any pause of the test's threads.
    double speed = 500;
    // The port's player: its JSON object, or empty for a PC without any.
    std::string player = R"({"mode": "loader"})";
    bool driverInstalled = false;
    std::string install = "ok";  // "ok", "restart" or "fail"
};

inline std::string scenarioOf(const Pc& pc) {
    return R"({"speed": )" + std::to_string(pc.speed) + R"(, "windows": ")" + pc.windows +
           R"(", "corvUsbDriver": {"installed": )" +
           (pc.driverInstalled ? "true" : "false") + R"(, "install": ")" + pc.install +
           R"("}, "controllers": [{"ports": [)" +
           (pc.player.empty() ? "null" : R"({"player": )" + pc.player + "}") + "]}]}";
}

class DriverTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (previous_) os::install(std::move(previous_));
    }

    // Makes the process's backend the simulated `pc`, with `broken` failing.
    sim::SimOs& start(const Pc& pc, Break broken = Break::None) {
        auto sim = std::make_unique<sim::SimOs>(sim::parseScenario(scenarioOf(pc), "driver test"));
        sim_ = sim.get();
        std::unique_ptr<os::Os> backend = std::move(sim);
        if (broken != Break::None)
            backend = std::make_unique<BreakingOs>(std::move(backend), broken);
        std::unique_ptr<os::Os> replaced = os::install(std::move(backend));
        if (!previous_) previous_ = std::move(replaced);
        return *sim_;
    }

    sim::SimOs& sim() { return *sim_; }

    // The driver package as the build ships it, beside the programs.
    static std::string shippedInf() { return os::current().programFolder() + "Driver\\corvusb50.inf"; }

    // Whether a window call of `kind` was made on a window whose text contains `text`.
    bool windowCall(sim::SimOs::WindowCall::Kind kind, const std::string& text) {
        for (const auto& call : sim().windowCalls())
            if (call.kind == kind && call.text.find(text) != std::string::npos) return true;
        return false;
    }

    // Whether a present device has exactly these hardware ids.
    bool presentWithIds(const std::vector<std::string>& ids) {
        for (const auto& device : sim().presentDevices().hardwareIds)
            if (device == ids) return true;
        return false;
    }

    cv50::testing::LogCapture log_;

private:
    sim::SimOs* sim_ = nullptr;
    std::unique_ptr<os::Os> previous_;
};

}  // namespace cv50::device::testing
