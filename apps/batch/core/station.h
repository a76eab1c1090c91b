// A production station: up to 16 players upgraded at once, one per port slot, in stages
// that every player of a batch passes together. The station owns the port table, the
// device monitor thread (a pass every 200 ms), the per-slot workers (stage one from the
// mask ROM or from the loader, the image download, the demo copy), the three stage gates
// and the boot-download lock, and it closes the stages. It knows no window: it tells a
// StationListener what happens, and its host hands the stage messages back to it on the
// host's own thread, the way a window thread handles its posted messages.
//
//   Station station(listener, config);   // the monitor starts binding players to slots
//   station.startBatch(options);         // host thread; the workers start
//   ... listener.postStageDone(...)  ->  station.stageDone(...) on the host thread ...
//   ... listener.batchEnded(succeeded, failed)
//   station.stop();                      // or the destructor
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "apps/batch/core/stage_gate.h"
#include "apps/batch/core/text_keys.h"
#include "apps/batch/core/texts.h"
#include "engine/device/records.h"
#include "engine/device/search.h"
#include "engine/flash/loader_file.h"

namespace cv50::batch {

inline constexpr int kSlots = 16;
inline constexpr std::uint32_t kMonitorPassMs = 200;
inline constexpr std::uint32_t kReturnWaitMs = 20000;

enum class SlotStatus : int {
    Idle = 0,
    StageOne = 1,
    WaitLoader = 2,
    ImageRunning = 3,
    WaitMsc = 4,
    DemoRunning = 5,
    Succeeded = 6,
    Failed = 7,
};

// One port slot of the table.
struct PortSlot {
    bool absent = true;  // no device with this slot's Layer is attached now
    SlotStatus status = SlotStatus::Idle;
    std::uint32_t resetTick = 0;  // the tick of the last reset that ended a stage; 0 none
    bool fromMaskRom = false;     // a MaskRom device before the image stage began
    bool reconnected = false;     // seen to leave and come back since the last reset
    DEVICE_INFO device{};         // the search entry of its device (drive letter once known)
};

// The two stage messages, as the window's private messages.
enum class StageMessage { ImageStageDone, DemoStageDone };

// Cell colours (COLORREF values: 0x00BBGGRR).
namespace colour {
inline constexpr std::uint32_t kAbsent = 0xC0C0C0;
inline constexpr std::uint32_t kNumberText = 0xFFFFFF;
inline constexpr std::uint32_t kMaskRom = 0x7F0000;
inline constexpr std::uint32_t kLoader = 0x007F00;
inline constexpr std::uint32_t kMsc = 0xFF80FF;
inline constexpr std::uint32_t kFailed = 0x0000FF;      // red
inline constexpr std::uint32_t kFromMaskRom = 0xFF0000;  // blue: imaged, came from the mask ROM
inline constexpr std::uint32_t kFromLoader = 0x00FF00;   // green: imaged, came as a loader
inline constexpr std::uint32_t kDemoDone = 0xFF00FF;     // magenta: the demo copied
inline constexpr std::uint32_t kBlinkA = 0x0DDCDC;
inline constexpr std::uint32_t kBlinkB = 0x8DFFFF;
inline constexpr int kBlinkPeriodMs = 150;
}  // namespace colour

// What the station tells its host. Calls come from the station's threads (the monitor, the
// workers) and from the host's thread inside startBatch, stageDone and switchDisks; some
// while the port-table lock is held. A listener must therefore never block and never call
// back into the station: a window queues the change for its own thread.
class StationListener {
public:
    virtual ~StationListener() = default;

    // A progress line of slot `slot`; `value` is the number of the lines that take one.
    virtual void line(int slot, const std::string& layer, Line line, int value) = 0;
    // The slot's cell: its background, its text (the slot number, a percentage), and
    // blinking between colour::kBlinkA and kBlinkB every kBlinkPeriodMs.
    virtual void cellColour(int slot, std::uint32_t colour) = 0;
    virtual void cellText(int slot, const std::string& text) = 0;
    virtual void cellBlink(int slot, bool blinking) = 0;
    // The text under the cell: the Layer of the device bound to the slot, or empty.
    virtual void layerText(int slot, const std::string& text) = 0;
    // The slot failed in the stage of `status`, for `reason` (the text its log line ends in).
    virtual void slotFailed(int /*slot*/, SlotStatus /*status*/, const std::string& /*reason*/) {}
    // The image download of the slot: file bytes done of `total` in the write or the verify.
    virtual void imageProgress(int /*slot*/, bool /*verifying*/, std::uint64_t /*done*/,
                               std::uint64_t /*total*/) {}
    // Must reach Station::stageDone on the host's thread, after the calls made before it.
    virtual void postStageDone(StageMessage message, int slot, bool failed) = 0;
    // On the host's thread: a batch of `devices` starts; the demo stage of `devices`
    // starts; the batch ended.
    virtual void batchStarting(int /*devices*/) {}
    virtual void demoStageStarting(int /*devices*/) {}
    virtual void batchEnded(int succeeded, int failed) = 0;
};

// The reasons a slot fails with, in the host's words; those with a "%d" take the error code.
struct FailureTexts {
    std::string dropped = text::kReasonDropped;
    std::string boot = text::kReasonBoot;
    std::string testFailed = text::kReasonTestFailed;
    std::string testTimedOut = text::kReasonTestTimedOut;
    std::string idBlock = text::kReasonIdBlock;
    std::string reset = text::kReasonReset;
    std::string image = text::kReasonImage;
    std::string resetFlag = text::kReasonResetFlag;
    std::string demoDisk = text::kReasonDemoDisk;
    std::string format = text::kReasonFormat;
    std::string copy = text::kReasonCopy;
    std::string loaderWait = text::kLoaderWaitFailed;
    std::string mscWait = text::kMscWaitFailed;
    std::string noSerialNumber = "no serial number left";
};

struct StationConfig {
    device::Walk walk = device::Walk::Usb20;
    std::uint32_t loaderWaitMs = kReturnWaitMs;
    std::uint32_t mscWaitMs = kReturnWaitMs;
    // Only devices on these Layers are bound; empty: every port.
    std::vector<std::string> ports;
    // Where a verify that found a difference leaves its record (the piece from the file, as
    // read back, and as read a second time); empty: nowhere.
    std::string dumpFolder;
    FailureTexts reasons;
};

// The serial number for the player of a slot, asked for just before its ID Block is
// written: the bytes to store, or nullopt when there is none to give (the slot fails).
using SerialNumberSource =
    std::function<std::optional<std::string>(int slot, const std::string& layer)>;

// What one batch does, fixed when it starts.
struct BatchOptions {
    flash::PiecePaths boot;  // the four boot parts
    std::string imagePath;
    std::uint32_t imageSizeMB = 0;   // the image file's size in whole MiB
    std::uint32_t systemDiskMB = 0;  // from the image's trailer; below 1: the image size
    bool trailerPresent = false;
    std::string partition;  // checked: digits and ":" only
    bool forceErase = false;
    std::array<std::uint16_t, 3> loaderWords{};  // the ID Block's date and version words
    bool demo = false;       // a demo stage follows the image stage
    std::string demoFolder;  // copied onto each disk; empty: the disks are only formatted
    // The demo stage formats each disk (and copies the folder); false: it only waits for the
    // disk, and the player's files stay.
    bool formatDisk = true;
    // Empty: every ID Block keeps the serial number it has.
    SerialNumberSource serialNumber;
    std::string volumeLabel;
    // The questions of the ID Block update; an empty one keeps the engine's own.
    std::string askSystemDiskFormat, askUserDiskFormat, askForceErase;
};

class Station {
public:
    Station(StationListener& listener, StationConfig config);
    // Stops the monitor and every worker and joins them.
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // The device monitor thread; once.
    void start();

    // Host thread. Every bound MaskRom or Loader slot that is idle (and that `joins`, when
    // given) joins a batch and its stage-one worker starts; the number that joined (0:
    // nothing started). While a batch runs nothing changes and the result is 0.
    // A filter is asked under the port-table lock, so it must not call back into the station.
    using SlotFilter = std::function<bool(int slot, const DEVICE_INFO& device)>;
    int startBatch(const BatchOptions& options, const SlotFilter& joins = {});
    // Host thread: a stage message handed back; counts it and closes the stage when it was
    // the last one.
    void stageDone(StageMessage message, int slot, bool failed);
    // Host thread: every bound disk (that `which` takes, when given) is told to switch to
    // CorvUsb; the monitor sees it come back as a Loader.
    void switchDisks(const SlotFilter& which = {});

    // Stops the monitor and makes every waiting worker give up; does not wait.
    void stop();
    // The monitor has ended.
    bool stopped() const { return monitorEnded_.load(); }

    PortSlot slot(int index) const;
    // The monitor passes completed so far.
    std::uint64_t passes() const { return passes_.load(); }
    bool batchRunning() const;
    int running() const;

private:
    // The monitor thread and one pass of it.
    void monitorLoop();
    void monitorPass();
    // Starts `work` as slot `index`'s worker, after collecting the one before it; under
    // the port-table lock.
    void startWorker(int index, std::function<void()> work);

    // The workers.
    void stageOne(int index, bool fromMaskRom);
    void imageDownload(int index);
    // The record of a verify difference of the device at `path`.
    void keepMismatch(const std::string& path, const std::string& layer, std::uint32_t first,
                      std::uint32_t sectors, std::span<const std::uint8_t> fromFile,
                      std::span<const std::uint8_t> fromDevice, std::uint64_t checked);
    void copyDemo(int index);
    // The demo stage start, on the host thread under the port-table lock.
    void startDemoStage();
    // A batch's end: every slot idle, the gates closed.
    void closeBatch(bool sendDataCopied);

    // Fails slot `index` in the stage it is in: cell red, the failure line and log line,
    // status Failed, and the stage message of `message`.
    void failSlot(int index, StageMessage message, const std::string& reason);
    // Under the port-table lock.
    void failSlotLocked(int index, StageMessage message, const std::string& reason);
    // A device that did not come back after its reset: its gate place given up, the slot
    // failed. Under the port-table lock.
    void giveUpLocked(int index, StageMessage message);
    void setStatus(int index, SlotStatus status);
    std::shared_ptr<const BatchOptions> options() const;
    std::uint32_t tick() const;

    StationListener& listener_;
    const StationConfig config_;

    // The port table, and what a batch shares; held by the monitor for a whole pass.
    mutable std::mutex table_;
    std::array<PortSlot, kSlots> slots_{};
    std::shared_ptr<const BatchOptions> options_;
    // Host thread only: the batch counters.
    int running_ = 0, succeeded_ = 0, failed_ = 0;
    std::atomic<bool> batchRunning_{false};

    StageGate eventGate_, imageGate_, demoGate_;
    std::mutex bootLock_;

    std::atomic<bool> stopping_{false};
    std::atomic<bool> monitorEnded_{false};
    std::atomic<std::uint64_t> passes_{0};
    std::thread monitor_;
    std::array<std::thread, kSlots> workers_;  // under table_
};

}  // namespace cv50::batch
