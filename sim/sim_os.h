// The os seam answered by the simulator: a USB world, a clock and the host's files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/os/os.h"
#include "fwpkg/fat_editor.h"
#include "fwpkg/sector_device.h"
#include "sim/corvusb_endpoint.h"
#include "sim/desktop.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"
#include "sim/state_keeper.h"
#include "sim/usb_world.h"

namespace cv50::sim {

class SimOs : public os::Os {
public:
    // With a state folder, the players' flash is kept there as it changes (sim/state_keeper.h).
    explicit SimOs(const Scenario& scenario);
    // Keeps the players' flash in the scenario's state folder, if it has one.
    ~SimOs() override;

    SimClock& clock() { return clock_; }

    std::vector<std::string> hostControllerPaths() override;
    os::Handle openDevice(const std::string& path) override;
    void closeHandle(os::Handle h) override;
    std::optional<std::string> rootHubName(os::Handle controller) override;
    std::optional<unsigned> hubPortCount(os::Handle hub) override;
    std::optional<os::ConnectionInfo> connectionInfo(os::Handle hub, unsigned port) override;
    std::optional<std::string> downstreamHubName(os::Handle hub, unsigned port) override;
    std::optional<std::string> driverKeyName(os::Handle hub, unsigned port) override;

    os::DevInst deviceTreeRoot() override;
    os::DevInst deviceTreeChild(os::DevInst node) override;
    os::DevInst deviceTreeSibling(os::DevInst node) override;
    os::DevInst deviceTreeParent(os::DevInst node) override;
    std::optional<std::string> deviceDriverKey(os::DevInst node) override;
    std::optional<std::string> deviceInstanceId(os::DevInst node) override;

    os::WindowsVersion windowsVersion() override { return windows_; }

    std::uint32_t logicalDrives() override;
    unsigned driveType(char letter) override;
    std::optional<std::string> dosDeviceTarget(char letter) override;
    os::PropertyResult interfaceProperty(const std::string& interfacePath,
                                         os::DeviceProperty property) override;

    // Runs `fn` on the world, brought up to the current simulated time, under the lock.
    template <typename Fn>
    auto withWorld(Fn&& fn) {
        std::lock_guard lock(mutex_);
        sync();
        return fn(world_);
    }

    // Runs `fn` with the user disk (fwpkg::SectorDevice&) of the player whose volume has
    // drive letter `letter`, under the lock; false, without running it, when no player's
    // volume has that letter.
    template <typename Fn>
    bool withUserDisk(char letter, Fn&& fn) {
        return withWorld([&](UsbWorld& world) {
            fwpkg::SectorDevice* disk = world.userDisk(letter);
            if (disk) fn(*disk);
            return disk != nullptr;
        });
    }

    // The same disk as a device that takes the lock for each transfer and fails once that
    // volume is gone, or nullptr now; fit for setVolumeProvider(). Not under the lock.
    std::unique_ptr<fwpkg::SectorDevice> userDiskDevice(char letter);
    // One write of that device: false when the volume is gone, no longer has `sectors`
    // sectors or the write fails. Power that fails during it fails the write; the player
    // leaves the bus and comes back as power-on starts it.
    bool writeUserDisk(char letter, std::uint64_t sectors, std::uint64_t first,
                       std::span<const std::uint8_t> in);

    bool pathExists(const std::string& path) override;
    std::FILE* openExclusiveReadWrite(const std::string& path) override;
    std::FILE* openFile(const std::string& path, const char* mode) override;
    bool deleteFile(const std::string& path) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    os::PathKind pathKind(const std::string& path) override;
    bool createFolder(const std::string& path) override;
    // Profile files are read through the host's file at hostPath() (sim_os_profile.cpp).
    std::string profileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback,
                              std::size_t size) override;
    std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                                  const std::u16string& key, const std::u16string& fallback,
                                  std::size_t size) override;
    int profileInt(const std::string& path, const std::string& section, const std::string& key,
                   int fallback) override;
    int profileIntW(const std::u16string& path, const std::u16string& section,
                    const std::u16string& key, int fallback) override;
    std::vector<os::FoundFile> findFiles(const std::string& pattern) override;
    std::vector<os::FoundFileW> findFilesW(const std::u16string& pattern) override;
    std::FILE* openFileW(const std::u16string& path, const char* mode) override;
    int shellCopy(const std::string& sourcePattern, const std::string& destination,
                  bool& aborted) override;
    bool copyFile(const std::string& source, const std::string& destination) override;

    os::Handle openReadWrite(const std::string& path) override;
    long long writeHandle(os::Handle h, const void* data, std::size_t size,
                          std::uint32_t timeoutMs) override;
    long long readHandle(os::Handle h, void* data, std::size_t size,
                         std::uint32_t timeoutMs) override;

    bool deviceIoControl(os::Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                         void* out, std::size_t outSize, std::uint32_t* returned,
                         std::uint32_t timeoutMs) override;
    bool requestEject(os::DevInst node) override;

    // --- Driver setup and other programs' windows (sim_os_drivers.cpp) ---
    os::PresentDevices presentDevices() override;
    std::optional<os::InfClass> infClass(const std::string& infPath) override;
    os::Handle createDeviceInfoList(const os::InfClass& deviceClass) override;
    bool createDeviceInfo(os::Handle set, const os::InfClass& deviceClass) override;
    bool setHardwareIds(os::Handle set, const std::vector<std::string>& ids) override;
    bool callClassInstaller(os::Handle set, os::ClassInstallRequest request) override;
    void destroyDeviceInfoList(os::Handle set) override;
    // Installs when a present device has `hardwareId`, the INF names one of that device's
    // hardware ids with an install section, the signing question (Windows 6 and later) is
    // answered with its install button within 60 s, and the scenario lets installs succeed.
    bool updateDriverForPlugAndPlayDevices(const std::string& hardwareId,
                                           const std::string& infPath, bool& restart) override;
    // One driver update as it was asked for, and how it ended.
    struct DriverUpdate {
        std::string hardwareId, infPath;
        bool succeeded = false;
        bool restart = false;
        std::uint32_t error = 0;
    };
    std::vector<DriverUpdate> driverUpdates() const;

    std::optional<std::vector<os::Window>> topLevelWindows() override;
    std::vector<os::Window> childWindows(os::Window parent) override;
    std::string windowText(os::Window window) override;
    void closeWindow(os::Window window) override;
    void clickButton(os::Window window) override;
    // Tests: opens a window of another program.
    os::Window openWindow(const std::string& title,
                          const std::vector<SimDesktop::Control>& controls);
    // The titles of the open top-level windows.
    std::vector<std::string> windowTitles();
    // Every window call made through the seam, oldest first: what was asked and the text
    // of the window it was asked of.
    struct WindowCall {
        enum class Kind { List, Children, Text, Close, Click };
        Kind kind = Kind::List;
        std::string text;
    };
    std::vector<WindowCall> windowCalls() const;

    os::Handle loadLibrary(const std::string& name) override;
    void* libraryFunction(os::Handle library, const std::string& name) override;
    void freeLibrary(os::Handle library) override;
    std::optional<std::string> resourceString(os::Handle library, unsigned id) override;

    std::string tempFolder() override;
    std::u16string tempFolderW() override;
    // UTF-8, the simulator's ANSI code page; a lone surrogate has no form there.
    std::optional<std::string> narrowFromWide(const std::u16string& text) override;
    std::string programFolder() override;
    std::string systemFolder() override;
    // Tests: make tempFolder() report exactly this text.
    void setTempFolder(const std::string& folder);

    // The pipes of the device whose path is `devicePath` reach `endpoint` until detached.
    void attachEndpoint(const std::string& devicePath, std::shared_ptr<CorvUsbEndpoint> endpoint);
    void detachEndpoint(const std::string& devicePath);

    // The system's code for the calling thread's last failed call (engine/os/error_codes.h).
    std::uint32_t lastError() override;

    // --- Message boxes ---
    struct ShownMessage {
        std::string text, caption;
        os::MessageButtons buttons = os::MessageButtons::Ok;
        os::MessageIcon icon = os::MessageIcon::None;
        os::MessageAnswer answer = os::MessageAnswer::Ok;  // how it was closed
    };
    using MessageAnswerer = std::function<os::MessageAnswer(const ShownMessage&)>;
    // Boxes go to `answerer` from now on (a test); an empty one leaves them to the host
    // (sim/host_services.h). Every box is kept for shownMessages().
    void setMessageAnswerer(MessageAnswerer answerer);
    std::vector<ShownMessage> shownMessages() const;
    os::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                 os::MessageButtons buttons, os::MessageIcon icon) override;

    os::LocalTime localTime() override { return clock_.localTime(); }
    std::uint64_t tickMs() override { return clock_.tickMs(); }
    void sleepMs(std::uint32_t ms) override { clock_.sleepMs(ms); }
    // The simulated time spent so far waiting out the bounds of transfers to silent devices:
    // what a silent player cost, whatever the speed of the machine running the world.
    std::uint64_t msWaitedOnSilentDevices() const { return waitedOnSilentMs_.load(); }

    // --- The players' volumes: the format library and the shell copy ---
    // The sector device behind the volume of drive `driveLetter`, or nullptr.
    using VolumeProvider = std::function<std::unique_ptr<fwpkg::SectorDevice>(char driveLetter)>;
    // At first each player's volume is its user disk (userDiskDevice); an empty provider
    // leaves every volume without a device, so that every format and copy fails. The
    // provider may use withWorld(); it is never called under the world's lock.
    void setVolumeProvider(VolumeProvider provider);

    // One call of the format library's FormatEx, as it was made, and how it ended.
    struct FormatRequest {
        char letter = 0;
        int mediaKind = 0;
        bool quick = false;
        std::string fileSystem;
        std::string label;
        std::uint32_t clusterBytes = 0;
        bool succeeded = false;
        std::string error;  // why it failed
    };
    // Formats the volume of `request.letter` as FormatEx was asked to; kept for
    // formatRequests(). True when the volume is now empty and FAT32.
    bool formatVolume(FormatRequest request);
    // Every format asked for so far, oldest first.
    std::vector<FormatRequest> formatRequests() const;

    // Writes the whole volume of drive `letter`, or of the player on the port `layer`
    // ("4-2"), to the host file `hostPath`. False, with the reason in `error`, when there is
    // no such volume or it cannot be read or written.
    bool saveVolumeImage(char letter, const std::string& hostPath, std::string& error);
    bool saveVolumeImageOfLayer(const std::string& layer, const std::string& hostPath,
                                std::string& error);

private:
    // A transfer to a device that answers nothing more: spends the bound, fails.
    long long timedOut(std::uint32_t timeoutMs);
    std::atomic<std::uint64_t> waitedOnSilentMs_{0};
    // What an open handle refers to: a controller (by index), a hub (by name, looked up
    // on every request so a hub that left the bus fails cleanly), a pipe, a volume or a
    // player's device.
    struct Target {
        int controller = -1;
        std::string hubName;
        std::weak_ptr<CorvUsbEndpoint> endpoint;  // a pipe of a CorvUsb device
        bool writePipe = false;
        char volume = 0;              // the volume "\\.\X:" of a player's disk
        SimPlayer* player = nullptr;  // a player's device, opened by its device path
        unsigned generation = 0;      // the player's generation when it was opened
    };

    // Applies the world's events that are due and puts the loaders on the pipes of the
    // players that run one; called under the lock by every operation.
    void sync();
    void reconcileEndpoints();
    // A player's loader was reset, or its power failed: its boot ROM decides what comes back,
    // unless the reset is the one its scripted fault keeps it away at.
    enum class Restart { Reset, PowerBack };
    void playerReset(SimPlayer* player, unsigned generation, bool resetFlag, Restart why);
    // The same under the lock, with the world brought up to date.
    void restartPlayer(SimPlayer& player, unsigned generation, bool resetFlag, Restart why);
    // The keeper's thread: what changed on the players' flash, every so often, until stopping_.
    void keepStateWhileRunning();
    // The scenario's state folder on the host, made when missing; "" for none.
    static std::string hostStateFolder(const Scenario& scenario);
    const SimHub* hubFor(os::Handle h) const;
    const SimPort* portFor(os::Handle hub, unsigned port) const;

    // The driver-signing question of an install: true once its install button was pressed,
    // false when it was closed or left unanswered.
    bool answerSigningQuestion();
    // A device information set of the setup calls, with its one device.
    struct DeviceSet {
        os::InfClass deviceClass;
        bool hasDevice = false;
        std::string instanceId;
        std::vector<std::string> hardwareIds;
        os::DevInst node = 0;  // once registered
    };

    mutable std::mutex mutex_;
    // Before the world: players that arrive without a driver open windows while it is made.
    SimDesktop desktop_;
    std::vector<WindowCall> windowCalls_;
    UsbWorld world_;
    SimClock clock_;
    os::WindowsVersion windows_;
    std::map<os::Handle, Target> handles_;
    std::map<std::string, std::shared_ptr<CorvUsbEndpoint>> endpoints_;  // by upper-case path
    std::uint64_t endpointChanges_ = 1;  // counts every change of endpoints_
    std::optional<std::string> tempFolder_;
    std::string stateFolder_;  // host path
    StateKeeper keeper_;       // under mutex_
    std::condition_variable keeperWake_;
    bool stopping_ = false;    // under mutex_
    std::thread keeperThread_;  // while there is a state folder
    os::Handle nextHandle_ = 0x100;
    std::map<os::Handle, DeviceSet> deviceSets_;
    std::vector<DriverUpdate> driverUpdates_;
    unsigned nextRootDevice_ = 0;
    const DriverSpec::Install driverInstall_;

    // The drive letter of a player's mounted volume in an engine path ("E:", "e:\x"), or 0.
    char playerVolumeOf(const std::string& enginePath);
    // Under volumeMutex_: the device of the volume of `letter`, or nullptr with `error` set.
    std::unique_ptr<fwpkg::SectorDevice> volumeDevice(char letter, std::string& error);
    // Runs `edit` on the volume of `letter` under volumeMutex_; fails without running it
    // when the volume has no device or no FAT32 file system.
    fwpkg::FatResult editVolume(char letter,
                                const std::function<fwpkg::FatResult(fwpkg::FatEditor&)>& edit);
    // The simulated time, as directory entries hold it.
    fwpkg::DosStamp dosStampNow();

    // Message boxes: under their own lock, which is never held while a box is open.
    mutable std::mutex messageMutex_;
    MessageAnswerer messageAnswerer_;
    std::vector<ShownMessage> shownMessages_;

    // One format or copy at a time. Taken before mutex_, never while it is held, since the
    // provider may take mutex_.
    mutable std::mutex volumeMutex_;
    VolumeProvider volumeProvider_;
    std::vector<FormatRequest> formatRequests_;
    const bool formatLibrary_;
};

// The simulator for a process that did not name one explicitly: the scenario file
// `path`, or the built-in sample world when `path` is empty. A file that cannot be
// used is reported on stderr and gives an empty world.
std::unique_ptr<os::Os> makeProcessSimulator(const std::string& path);

}  // namespace cv50::sim
