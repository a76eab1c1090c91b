// The updater's core: one player at a time, watched by a device monitor every 200 ms, shown
// with its kind and versions beside the chosen image's, and upgraded or repaired by one worker
// per command, all through the exports of CV50DLL. The window only presents it: it hands every
// user action, timer and posted result to this object and shows what it is told through the
// View. Texts are UTF-16 throughout; each call into CV50DLL gets the narrow form.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "apps/updater/core/results.h"
#include "apps/updater/core/settings.h"
#include "apps/updater/core/texts.h"
#include "apps/updater/core/view.h"
#include "engine/device/records.h"
#include "engine/os/os.h"

namespace cv50::updater {

inline constexpr std::uint32_t kMonitorPollMs = 200;
inline constexpr unsigned kElapsedTimerMs = 200;
inline constexpr unsigned short kWaitSeconds = 20;
inline constexpr unsigned short kDiskWaitSeconds = 30;
inline constexpr std::uint32_t kSwitchPauseMs = 2000;
inline constexpr std::uint32_t kResetPauseMs = 1000;

class Updater {
public:
    // `programFolder` ends in a backslash.
    Updater(View& view, std::u16string programFolder);
    // shutdown().
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // The settings, logging, the language file and the configured image. False when the
    // settings file can be neither opened nor created: the box has been shown and the program
    // ends with exit code 1.
    bool loadSettings();
    // The rest of the dialog's start that is not drawing: the commands disabled, the temp
    // folder, the match numbers, and timer 0.
    void initialise();

    // What the window shows of the settings and texts.
    const std::u16string& appTitle() const { return settings_.appTitle; }
    std::u16string windowTitle() const { return settings_.appTitle + text::kVersionSuffix; }
    // The system-menu item; empty: none.
    std::u16string aboutItem() const { return texts_.format(39, {settings_.appTitle}); }
    std::u16string aboutTitle() const { return texts_.get(83) + settings_.appTitle; }
    std::u16string aboutVersion() const { return texts_.get(84) + text::kVersionSuffix; }
    std::u16string splashText() const;
    // The image chooser's filter, "Name(*.x)|*.x|All Files(*.*)|*.*||".
    std::u16string imageFilter() const;
    const std::u16string& homepage() const { return settings_.homepage; }
    const std::u16string& languageFile() const { return texts_.file(); }

    // On the window thread.
    void onTimer(int timer);
    void chooseImage(const std::u16string& path);
    void onUpgrade() { command(Command::Upgrade); }
    void onRepair() { command(Command::Repair); }
    // WM_UPGRADE_RESULT.
    void onResult(int mode, int code);
    // The exit question; true: the dialog ends.
    bool confirmExit();
    // After the dialog has ended: the monitor and a running worker are waited for, the
    // extracted loader file is deleted and the library closed. Called once; later calls do
    // nothing.
    void shutdown();

    // For tests.
    bool busy() const { return busy_; }
    int foundCount() const { return found_; }
    bool commandRunning() const { return upgradeRunning_ || repairRunning_; }
    const std::u16string& firmwarePath() const { return firmware_; }
    const std::u16string& extractedLoader() const { return loaderPath_; }
    const Settings& settings() const { return settings_; }

private:
    // The narrow form of `text` for a 260-byte buffer, or nothing.
    static std::optional<std::string> narrow(const std::u16string& text);
    static bool fileExists(const std::u16string& path);
    void message(const std::u16string& text, const std::u16string& caption, os::MessageIcon icon);

    bool checkImage(const std::u16string& path);
    void showImageFailure(int key);

    // The monitor thread.
    void monitorLoop();
    void monitorPass();
    void announce(const DEVICE_INFO& found);
    void showPlayerVersions();
    void clearDevice();

    // The commands and the worker.
    void command(Command command);
    int runCommand(Command command);
    int switchToCorvUsb();
    void stepLine(const std::u16string& text);

    View& view_;
    const std::u16string programFolder_;
    Settings settings_;
    Texts texts_;
    std::u16string tempFolder_;
    std::u16string firmware_;
    std::u16string loaderPath_;  // extracted, after a successful image check
    std::string loaderNarrow_;
    std::uint32_t imageSizeMB_ = 0;
    std::uint32_t imageSystemMB_ = 0;
    std::uint32_t imageConfigMB_ = 0;
    bool hasSizeRecord_ = false;

    // A monitor pass holds this from its busy test to its last change; a command takes it
    // after setting the busy flag, so it never meets a pass half done.
    std::mutex passMutex_;
    DEVICE_INFO held_{};
    std::atomic<int> found_{0};
    bool versionsShown_ = false;
    bool several_ = false;  // the last pass saw two or more

    std::atomic<bool> busy_{false};
    std::atomic<bool> upgradeRunning_{false};
    std::atomic<bool> repairRunning_{false};
    std::uint64_t startTick_ = 0;

    bool started_ = false;  // timer 0 came
    std::atomic<bool> quit_{false};
    bool shutDown_ = false;
    std::thread monitor_;
    std::thread worker_;
};

}  // namespace cv50::updater
