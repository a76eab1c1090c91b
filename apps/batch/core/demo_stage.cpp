// The demo stage: every device that got its image is reset with the reset flag and comes
// back as a disk; the monitor then starts its demo worker, which waits at the Demo gate,
// formats the disk FAT32 and copies the demo folder onto it.
#include "apps/batch/core/device_lines.h"
#include "apps/batch/core/station.h"
#include "apps/batch/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/format_copy.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

constexpr int kResetFlagAttempts = 3;
constexpr std::uint32_t kResetFlagRetryMs = 1000;
constexpr std::uint32_t kDriveRetryMs = 3000;
constexpr std::uint32_t kFormatPauseMs = 1000;
constexpr int kFormatAttempts = 3;

}  // namespace

void Station::startDemoStage() {
    os::Os& sys = os::current();
    int count = 0;
    for (const PortSlot& s : slots_) count += s.status == SlotStatus::Succeeded ? 1 : 0;
    demoGate_.add(count);
    for (int i = 0; i < kSlots; ++i) {
        PortSlot& s = slots_[static_cast<std::size_t>(i)];
        if (s.status != SlotStatus::Succeeded) continue;
        const std::string layer = s.device.layer;
        const char* l = layer.c_str();
        listener_.cellBlink(i, true);
        Log(text::kDemoStart, l, s.device.devicePath);
        listener_.line(i, layer, Line::ResetFlagStart, 0);
        Log(text::kResetFlagStart, l);
        bool flagSet = false;
        for (int attempt = 0; attempt < kResetFlagAttempts && !flagSet; ++attempt) {
            const int r = CVU_SetResetFlag(s.device.devicePath);
            flagSet = r == 0;
            if (flagSet) break;
            Log(text::kResetFlagFailed, l, r);
            sys.sleepMs(kResetFlagRetryMs);
        }
        if (!flagSet) {
            demoGate_.release();
            listener_.line(i, layer, Line::ResetFlagFailed, 0);
            failSlotLocked(i, StageMessage::DemoStageDone, config_.reasons.resetFlag);
            continue;
        }
        listener_.line(i, layer, Line::ResetStart, 0);
        Log(text::kResetStart, l);
        const int r = CVU_ResetDevice(s.device.devicePath);
        if (r == -1 || r == -2) {
            Log(text::kResetFailed, l, r);
            demoGate_.release();
            listener_.line(i, layer, Line::ResetFailed, 0);
            failSlotLocked(i, StageMessage::DemoStageDone, config_.reasons.reset);
            continue;
        }
        listener_.line(i, layer, Line::ResetDone, 0);
        listener_.cellBlink(i, false);
        if (r != 0)
            Log(text::kResetDoneCode, l, r);
        else
            Log(text::kResetDone, l);
        s.status = SlotStatus::WaitMsc;
        s.reconnected = false;
    }
    const std::uint32_t now = tick();
    for (PortSlot& s : slots_)
        if (s.status == SlotStatus::WaitMsc) s.resetTick = now;
}

void Station::copyDemo(int index) {
    const std::shared_ptr<const BatchOptions> options = this->options();
    DEVICE_INFO device;
    {
        std::lock_guard lock(table_);
        device = slots_[static_cast<std::size_t>(index)].device;
    }
    const std::string layer = device.layer;
    const char* l = layer.c_str();
    const auto say = [&](Line line, int value = 0) { listener_.line(index, layer, line, value); };
    const auto fail = [&](Line line, const std::string& reason) {
        say(line);
        failSlot(index, StageMessage::DemoStageDone, reason);
    };

    const auto succeed = [&] {
        setStatus(index, SlotStatus::Succeeded);
        listener_.cellBlink(index, false);
        say(Line::UpgradeDone);
        listener_.cellColour(index, colour::kDemoDone);
        Log(text::kUpgradeDone, l);
        listener_.postStageDone(StageMessage::DemoStageDone, index, false);
    };

    demoGate_.release();
    if (!demoGate_.wait()) return;

    listener_.cellBlink(index, true);
    Log(text::kDemoThread, l, device.devicePath);
    say(Line::DemoDiskStart);
    Log(text::kDemoDiskStart, l);
    const char letter = withDeviceLines(layer, [&] {
        return device::findDriveLetter(device.devicePath, device.devInst, kDriveRetryMs);
    });
    if (letter == 0) return fail(Line::DemoDiskFailed, config_.reasons.demoDisk);
    {
        // The batch's close tells the disk its data is in place.
        std::lock_guard lock(table_);
        slots_[static_cast<std::size_t>(index)].device.driveLetter = letter;
    }

    os::Os& sys = os::current();
    if (!options->formatDisk) return succeed();
    say(Line::FormatStart);
    Log(text::kFormatStart, l);
    sys.sleepMs(kFormatPauseMs);
    bool formatted = false;
    for (int attempt = 0; attempt < kFormatAttempts && !formatted && !stopping_; ++attempt) {
        if (attempt > 0) sys.sleepMs(kFormatPauseMs);
        formatted = withDeviceLines(layer, [&] {
            device::FormatDisk(letter, "FAT32", options->volumeLabel, device::FormatCallbackProc);
            return device::FormatResult();
        });
    }
    if (!formatted)
        return fail(Line::FormatFailed, text::withCode(config_.reasons.format.c_str(),
                                                       static_cast<int>(sys.lastError())));

    if (!options->demoFolder.empty()) {
        say(Line::CopyStart);
        Log(text::kCopyStart, l);
        const std::uint64_t start = sys.tickMs();
        if (!withDeviceLines(layer, [&] { return device::CopyData(options->demoFolder, letter); }))
            return fail(Line::CopyFailed, config_.reasons.copy);
        const int elapsed = static_cast<int>(sys.tickMs() - start);
        say(Line::CopyDone, elapsed);
        Log(text::kCopyDone, l, elapsed);
    }
    succeed();
}

}  // namespace cv50::batch
