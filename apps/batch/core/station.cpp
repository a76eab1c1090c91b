// The station's life, the start of a batch, the stage messages and the closing of a batch.
#include "apps/batch/core/station.h"

#include "apps/batch/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/disk_commands.h"
#include "engine/device/log.h"
#include "engine/device/volume.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

constexpr int kDriveAttempts = 3;
constexpr std::uint32_t kDriveRetryMs = 1000;

bool isCorvUsb(const DEVICE_INFO& d) { return d.type == MaskRom || d.type == Loader; }

}  // namespace

Station::Station(StationListener& listener, StationConfig config)
    : listener_(listener), config_(std::move(config)) {}

Station::~Station() {
    stop();
    if (monitor_.joinable()) monitor_.join();
    // The monitor is gone, so nothing starts a worker any more.
    for (std::thread& worker : workers_)
        if (worker.joinable()) worker.join();
}

void Station::start() {
    if (monitor_.joinable()) return;
    monitor_ = std::thread([this] { monitorLoop(); });
}

void Station::stop() {
    stopping_ = true;
    for (StageGate* gate : {&eventGate_, &imageGate_, &demoGate_}) gate->abandon();
    if (!monitor_.joinable()) monitorEnded_ = true;
}

void Station::startWorker(int index, std::function<void()> work) {
    std::thread& worker = workers_[static_cast<std::size_t>(index)];
    // The previous worker of this slot has set the status that lets this one start; it
    // takes the port-table lock no more, so it ends without waiting for it.
    if (worker.joinable()) worker.join();
    worker = std::thread(std::move(work));
}

int Station::startBatch(const BatchOptions& options, const SlotFilter& joins) {
    if (batchRunning_) return 0;
    std::lock_guard lock(table_);
    running_ = succeeded_ = failed_ = 0;
    for (StageGate* gate : {&eventGate_, &imageGate_, &demoGate_}) gate->reset();
    std::vector<int> joined;
    for (int i = 0; i < kSlots; ++i) {
        PortSlot& s = slots_[static_cast<std::size_t>(i)];
        if (s.absent || s.status != SlotStatus::Idle || !isCorvUsb(s.device)) continue;
        if (joins && !joins(i, s.device)) continue;
        s.status = SlotStatus::StageOne;
        s.resetTick = 0;
        s.reconnected = false;
        joined.push_back(i);
    }
    if (joined.empty()) return 0;
    options_ = std::make_shared<const BatchOptions>(options);
    running_ = static_cast<int>(joined.size());
    eventGate_.add(running_);
    batchRunning_ = true;
    listener_.batchStarting(running_);
    for (int i : joined) {
        const bool fromMaskRom = slots_[static_cast<std::size_t>(i)].device.type == MaskRom;
        startWorker(i, [this, i, fromMaskRom] { stageOne(i, fromMaskRom); });
    }
    return running_;
}

void Station::stageDone(StageMessage message, int, bool failed) {
    if (!batchRunning_ || running_ <= 0) return;
    --running_;
    ++(failed ? failed_ : succeeded_);
    if (running_ > 0) return;
    if (message == StageMessage::ImageStageDone && options()->demo && succeeded_ > 0) {
        // The failures go on counting; the successes are those of the demo stage.
        running_ = succeeded_;
        succeeded_ = 0;
        listener_.demoStageStarting(running_);
        std::lock_guard lock(table_);
        startDemoStage();
        return;
    }
    closeBatch(message == StageMessage::DemoStageDone);
}

void Station::closeBatch(bool afterDemo) {
    // A disk that was only waited for holds the player's own files, not copied data.
    const bool dataCopied = afterDemo && options()->formatDisk;
    {
        std::lock_guard lock(table_);
        for (PortSlot& s : slots_) {
            if (s.status == SlotStatus::Succeeded) {
                if (!afterDemo)
                    CVU_ResetDevice(s.device.devicePath);
                else if (dataCopied && s.device.driveLetter != 0)
                    device::ScsiVendorCommand(s.device.driveLetter, device::kCommandDataCopied,
                                              nullptr, 0);
            }
            if (s.status == SlotStatus::Idle) continue;
            s.status = SlotStatus::Idle;
            s.resetTick = 0;
            s.reconnected = false;
        }
    }
    for (StageGate* gate : {&eventGate_, &imageGate_, &demoGate_}) gate->reset();
    batchRunning_ = false;
    listener_.batchEnded(succeeded_, failed_);
}

void Station::switchDisks(const SlotFilter& which) {
    std::lock_guard lock(table_);
    os::Os& sys = os::current();
    for (int i = 0; i < kSlots; ++i) {
        const PortSlot& s = slots_[static_cast<std::size_t>(i)];
        if (s.absent || s.device.type != Msc || (which && !which(i, s.device))) continue;
        device::DriveLookup lookup(s.device.devicePath, s.device.devInst);
        for (int attempt = 0; attempt < kDriveAttempts; ++attempt) {
            if (device::GetDemoDrive(lookup)) {
                device::ScsiVendorCommand(lookup.driveLetter, device::kCommandSwitchToCorvUsb,
                                          nullptr, 0);
                break;
            }
            sys.sleepMs(kDriveRetryMs);
        }
    }
}

void Station::failSlot(int index, StageMessage message, const std::string& reason) {
    std::lock_guard lock(table_);
    failSlotLocked(index, message, reason);
}

void Station::failSlotLocked(int index, StageMessage message, const std::string& reason) {
    PortSlot& s = slots_[static_cast<std::size_t>(index)];
    const std::string layer = s.device.layer;
    const SlotStatus stage = s.status;
    listener_.cellBlink(index, false);
    listener_.line(index, layer, Line::UpgradeFailed, 0);
    listener_.cellColour(index, colour::kFailed);
    Log(text::kSlotFailed, layer.c_str(), reason.c_str());
    s.status = SlotStatus::Failed;
    listener_.slotFailed(index, stage, reason);
    listener_.postStageDone(message, index, true);
}

void Station::setStatus(int index, SlotStatus status) {
    std::lock_guard lock(table_);
    slots_[static_cast<std::size_t>(index)].status = status;
}

std::shared_ptr<const BatchOptions> Station::options() const {
    std::lock_guard lock(table_);
    return options_;
}

std::uint32_t Station::tick() const {
    // The tick counter of 32 bits: differences are taken modulo 2^32.
    return static_cast<std::uint32_t>(os::current().tickMs());
}

PortSlot Station::slot(int index) const {
    std::lock_guard lock(table_);
    return slots_.at(static_cast<std::size_t>(index));
}

bool Station::batchRunning() const { return batchRunning_; }

int Station::running() const { return running_; }

}  // namespace cv50::batch
