// The engineering tool's core: one player at a time, found by a controller thread every
// 200 ms and taken through the upgrade in steps (ID Block, image, Demo) on one step thread
// at a time, an automatic repeat mode, and the device tools. The window only presents it:
// it hands every user action and control change to this object and shows what it is told
// through the View.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "apps/engineering/core/settings.h"
#include "apps/engineering/core/tool_log.h"
#include "apps/engineering/core/view.h"
#include "engine/device/records.h"
#include "engine/flash/loader_file.h"

namespace cv50::engineering {

// The sequence of one pass.
enum class Stage : int {
    Idle = 0,
    IdBlockRunning = 1,
    WaitLoader = 2,
    ImageRunning = 3,
    WaitDisk = 4,
    DemoRunning = 5,
    Succeeded = 6,
    Failed = 7,
};

// A device that does not come back within this long after its reset ends the pass.
inline constexpr std::uint32_t kReturnWaitMs = 20000;
inline constexpr std::uint32_t kControllerPollMs = 200;

class EngineeringTool {
public:
    EngineeringTool(View& view, std::string programFolder);
    ~EngineeringTool();
    EngineeringTool(const EngineeringTool&) = delete;
    EngineeringTool& operator=(const EngineeringTool&) = delete;

    // The dialog is up: settings, defaults, the controller thread.
    void start();

    // What the user changed in a control (check boxes and edits).
    void onChecked(int control, bool checked);
    void onText(int control, const std::string& text);

    // A file or folder the user chose.
    void chooseBootFile(const std::string& path);
    void chooseImage(const std::string& path);
    void chooseDemoFolder(const std::string& path);
    void chooseSdramFile(const std::string& path);

    // The buttons.
    void onUpgrade();
    void onClearLog();
    void onSwitch();
    void onDiskCapacity();
    void onEraseIdb();
    void onBootDownload();
    // WM_ENGINEERING_PASS_END, on the window thread.
    void onPassEnd(bool failed);

    // Exit: every request is counted; only the first returns true and stops the tool, then
    // the window waits (dispatching messages) until stopped() and ends; a count above 4
    // during that wait ends the process at once.
    bool requestExit();
    int exitRequests() const { return exitRequests_.load(); }
    bool stopped() const { return controllerEnded_.load(); }

    Stage stage() const { return static_cast<Stage>(stage_.load()); }
    int remainingPasses() const { return remaining_.load(); }
    const Settings& settings() const { return settings_; }

private:
    // What the window last reported of the controls the core reads.
    struct Controls {
        bool forceErase = false;
        bool downloadBoot = true;
        bool autoUpgrade = false;
        bool demo = false;
        bool serial = false;
        std::string repeatCount;
        std::string partition;
        std::string serialText;
        std::string bootVersion;
        std::string bootDate;
        std::string demoPath;
    };
    struct Found {
        int count = 0;
        DEVICE_INFO device{};
    };

    // Files chosen.
    bool unpackBootFile(const std::string& path);
    void clearBootFields();
    bool loadImage(const std::string& path, bool askReplace);

    // The controller thread and its passes.
    void controllerLoop();
    Found search();
    void controllerPass();
    void startStep(std::function<void()> step);
    void endStep(bool ok);

    // The steps.
    // The first step, from the mask ROM (boot code first) or from the loader.
    void idBlockStep(const DEVICE_INFO& device, bool fromMaskRom);
    bool writeIdBlock(const DEVICE_INFO& device, bool fromMaskRom);
    void imageStep(DEVICE_INFO device);
    bool testUntilReady(const std::string& path);
    void demoStep(DEVICE_INFO device);
    void failStep(const char* endLine);

    // The Upgrade checks; true when a pass may begin.
    bool upgradeChecks();
    void setRunControls(bool enabled);
    void messageBox(const std::string& text, const std::string& caption = {});

    View& view_;
    ToolLog log_;
    const std::string programFolder_;
    std::string tempFolder_;
    Settings settings_;

    // The dialog's critical section: the device search, every step, the checks and tools.
    std::recursive_mutex section_;

    // The state of the controls, as the window last reported it.
    mutable std::mutex controlsMutex_;
    std::unique_ptr<Controls> controls_;

    // Under section_.
    Found found_;
    std::string devicePath_;
    flash::PiecePaths pieces_;
    bool bootReady_ = false;
    std::string imagePath_;
    std::uint32_t imageSizeMB_ = 0;
    std::uint32_t systemDiskMB_ = 0;     // S of the size record
    std::uint32_t minimumConfigMB_ = 0;  // C of the size record
    bool hasSizeRecord_ = false;
    std::string partition_;  // as the last Upgrade checked it
    bool demo_ = false;      // the Demo box at the last Upgrade
    std::string demoFolder_;

    // Plain shared values of the sequence.
    std::atomic<int> stage_{0};
    std::atomic<int> remaining_{0};
    std::atomic<bool> autoMode_{false};
    std::atomic<std::uint64_t> waitStart_{0};
    std::atomic<bool> deviceGone_{false};
    std::atomic<bool> quit_{false};
    std::atomic<bool> controllerEnded_{false};
    std::atomic<int> exitRequests_{0};

    const char* shownDeviceLine_ = nullptr;  // the controller thread's own
    std::thread controller_;
    std::thread step_;
};

}  // namespace cv50::engineering
