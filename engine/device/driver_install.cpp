#include "engine/device/driver_install.h"

#include <atomic>
#include <exception>
#include <thread>

#include "engine/device/log.h"
#include "engine/device/window_search.h"
#include "engine/os/os.h"

namespace cv50::device {
namespace {

// The system's strings the dialogs are worded with, by Windows generation.
constexpr unsigned kOldNewHardwareTitle = 2040;
constexpr unsigned kOldNewHardwareText = 2113;
constexpr unsigned kNewHardwareTitle = 2123;
constexpr unsigned kNewHardwareText = 2205;
constexpr unsigned kSigningTitle = 12707;
constexpr const char* kSigningButton = "(&I)";
constexpr const char* kSearchAccelerator = "(&L)";

constexpr int kOldCloseRounds = 20;
constexpr std::uint32_t kOldClosePauseMs = 500;
constexpr int kCloseRounds = 40;
constexpr std::uint32_t kClosePauseMs = 200;
constexpr int kSigningRounds = 10;
constexpr std::uint32_t kSigningPauseMs = 500;

std::string libraryString(const os::LoadedLibrary& library, unsigned id) {
    if (!library) return {};
    return os::current().resourceString(library.get(), id).value_or("");
}

// A system library from the system folder only, never from wherever the search path leads.
std::string systemLibraryPath(const char* name) {
    const std::string folder = os::current().systemFolder();
    return folder.empty() ? std::string() : folder + name;
}

// Up to `rounds` closing searches `pause` apart, until one closes a window. False after an
// enumeration error.
bool CloseNewHardwareWindow(const WindowSearch& search, int rounds, std::uint32_t pause) {
    for (int round = 0; round < rounds; ++round) {
        const WindowRound r = SearchWindowsOnce(search, WindowAction::Close);
        if (r == WindowRound::EnumerationFailed) return false;
        if (r == WindowRound::Done) break;
        os::current().sleepMs(pause);
    }
    return true;
}

int InstallBeforeWindows6(const os::LoadedLibrary& newDevice, const std::string& infPath) {
    const WindowSearch search{libraryString(newDevice, kOldNewHardwareTitle),
                              {libraryString(newDevice, kOldNewHardwareText)}};
    if (!CloseNewHardwareWindow(search, kOldCloseRounds, kOldClosePauseMs)) {
        Log("Error:CloseWindowsProc failed");
        return kDriverCloseWindowsFailed;
    }
    return InstallDriverPackage(kCorvUsbHardwareId, infPath);
}

int InstallFromWindows6(const os::LoadedLibrary& newDevice, const std::string& infPath) {
    std::string text = libraryString(newDevice, kNewHardwareText);
    text = text.substr(0, text.find(kSearchAccelerator));
    const WindowSearch search{libraryString(newDevice, kNewHardwareTitle), {text}};
    if (!CloseNewHardwareWindow(search, kCloseRounds, kClosePauseMs)) {
        Log("Error:CloseFoundDlg_NHW failed");
        return kDriverNewHardwareDialog;
    }

    // The install blocks while Windows asks about the driver's signature, so it runs on a
    // worker while this thread answers the question.
    std::atomic<int> result{-1};
    std::exception_ptr failure;
    {
        std::jthread worker([&] {
            try {
                result = InstallDriverPackage(kCorvUsbHardwareId, infPath);
            } catch (...) {
                failure = std::current_exception();
                result = kDriverInstallFailed;
            }
        });
        const os::LoadedLibrary shell(systemLibraryPath("Shell32.dll"));
        const WindowSearch signing{libraryString(shell, kSigningTitle), {kSigningButton}};
        for (int round = 0; round < kSigningRounds && result.load() <= kDriverInstalledRestart;
             ++round) {
            SearchWindowsOnce(signing, WindowAction::ClickChild);
            os::current().sleepMs(kSigningPauseMs);
        }
    }  // waits for the worker, however long the install takes
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace

int InstallDriver(const std::string& infPath) {
    os::Os& sys = os::current();
    if (infPath.empty() || !sys.pathExists(infPath)) {
        Log("Error:No Found Inf,PathFileExists failed");
        return kDriverInfMissing;
    }
    const os::WindowsVersion version = sys.windowsVersion();
    if (version.major == 0) {
        Log("Error:GetSystemVersion failed");
        return kDriverNoWindowsVersion;
    }
    const os::LoadedLibrary newDevice(systemLibraryPath("newdev.dll"));
    if (!newDevice) {
        Log("Error:No found newdev.dll");
        return kDriverNoNewDeviceLibrary;
    }
    return version.major < 6 ? InstallBeforeWindows6(newDevice, infPath)
                             : InstallFromWindows6(newDevice, infPath);
}

bool IsCorvUsbPlugged() { return FindExistingDevice(kCorvUsbHardwareId) == DeviceSearch::Found; }

}  // namespace cv50::device
