// The production tool's main window, without the window: its start-up, the boot and image
// choice with the image's trailer, the checks before a batch, the counters, the language
// texts of its list and boxes, and the close. The batch itself runs on a Station; this
// object is its listener and shows what it hears through the View.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "apps/batch/core/settings.h"
#include "apps/batch/core/station.h"
#include "apps/batch/core/view.h"
#include "apps/common/checked_format.h"
#include "engine/flash/loader_file.h"

namespace cv50::batch {

// The list's palette indices the tool uses.
inline constexpr int kListText = 0;
inline constexpr int kListFailure = 10;
inline constexpr int kListBackground = 1;
// A close request counted this often while the tool waits for its monitor ends the process.
inline constexpr int kCloseRequestsBeforeExit = 5;

class BatchTool {
public:
    BatchTool(View& view, std::string programFolder);
    ~BatchTool();
    BatchTool(const BatchTool&) = delete;
    BatchTool& operator=(const BatchTool&) = delete;

    // The dialog is up: settings, language, defaults, the station's monitor.
    void start();

    // What the user changed: check boxes and edits.
    void onChecked(int control, bool checked);
    void onText(int control, const std::string& text);
    // A file or folder the user chose.
    void chooseBootFile(const std::string& path);
    void chooseImage(const std::string& path);
    void chooseDemoFolder(const std::string& path);

    // The buttons.
    void onUpgrade();
    void onSwitch();
    void onResetCounters();
    void onClearList();
    // WM_IMAGE_STAGE_DONE or WM_DEMO_STAGE_DONE, on the window thread.
    void onStageDone(int message, int slot, bool failed);

    // Close: every request is counted; only the first returns true and stops the station,
    // then the window waits (dispatching messages) until stopped() and ends; a count of
    // kCloseRequestsBeforeExit during that wait ends the process at once.
    bool requestClose();
    int closeRequests() const { return closeRequests_.load(); }
    bool stopped() const { return station_ && station_->stopped(); }

    const Settings& settings() const { return settings_; }
    const std::string& languageFile() const { return languageFile_; }
    const Station& station() const { return *station_; }
    const flash::PiecePaths& bootParts() const { return boot_; }

private:
    class Listener;

    // The text of key "IDS_<key>" formatted with `args`; a text the arguments do not fit is
    // shown as it stands and logged once.
    std::string languageText(int key, const std::vector<apps::FormatArg>& args = {});
    void messageBox(const std::string& message, bool stopIcon);
    void list(int colour, const std::string& line);

    // The boot and the image (boot_choice.cpp).
    bool unpackBootFile(const std::string& path);
    void clearBootFields();
    // The trailer of `path` into the image fields; false when the file cannot be opened.
    bool readTrailer(const std::string& path);
    void warnImageTooLarge();
    bool extractBoot(const std::string& imagePath);
    std::string tempBootFile() const;

    void setBatchControls(bool enabled);
    // Host thread, from the listener: the station's batch events.
    void batchStarting(int devices);
    void demoStageStarting(int devices);
    void batchEnded(int succeeded, int failed);

    View& view_;
    const std::string programFolder_;
    std::string tempFolder_;
    Settings settings_;
    std::string languageFile_;
    std::unique_ptr<Listener> listener_;
    std::unique_ptr<Station> station_;

    // Window thread only: the controls as last reported, the files chosen, the counters.
    bool forceErase_ = false, demo_ = false, imageBox_ = true;
    std::string bootPath_, bootVersion_, bootDate_, imagePath_, demoPath_;
    flash::PiecePaths boot_;
    std::uint32_t imageSizeMB_ = 0;  // of the trailer's image: (size - 32) / 1 MiB
    std::uint32_t systemDiskMB_ = 0, minimumConfigMB_ = 0;
    bool trailerPresent_ = false;
    int succeededTotal_ = 0, failedTotal_ = 0;
    std::atomic<int> closeRequests_{0};

    std::mutex refusedMutex_;
    std::set<int> refusedKeys_;  // language texts already logged as refused
};

}  // namespace cv50::batch
