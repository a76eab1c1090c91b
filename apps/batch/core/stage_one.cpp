// Stage one of a slot, from the mask ROM (the boot programs first, one download at a time)
// or from the loader: the device test, the ID Block, then every device of the batch waits
// at the Event gate and is reset together.
#include "apps/batch/core/device_lines.h"
#include "apps/batch/core/station.h"
#include "apps/batch/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

constexpr int kResetAttempts = 3;
constexpr std::uint32_t kResetRetryMs = 5000;

bool resetFailed(int result) { return result == -1 || result == -2; }

}  // namespace

void Station::stageOne(int index, bool fromMaskRom) {
    const std::shared_ptr<const BatchOptions> options = this->options();
    std::string path, layer;
    {
        std::lock_guard lock(table_);
        const PortSlot& s = slots_[static_cast<std::size_t>(index)];
        path = s.device.devicePath;
        layer = s.device.layer;
    }
    const char* l = layer.c_str();
    const auto say = [&](Line line) { listener_.line(index, layer, line, 0); };
    // Until the Event gate the others wait for this device too.
    const auto failBeforeGate = [&](const std::string& reason) {
        eventGate_.release();
        failSlot(index, StageMessage::ImageStageDone, reason);
    };

    say(Line::UpgradeStart);
    Log(text::kUpgradeStart, l);
    listener_.cellBlink(index, true);
    Log(fromMaskRom ? text::kMaskRomThread : text::kLoaderThread, l, path.c_str());
    if (slot(index).absent) return failBeforeGate(config_.reasons.dropped);

    const flash::StepReport report = [&](flash::StepEvent event, int code) {
        switch (event) {
            case flash::StepEvent::BootStart:
                say(Line::BootStart);
                return Log(text::kBootStart, l);
            case flash::StepEvent::BootFailed:
                return say(Line::BootFailed);
            case flash::StepEvent::BootDone:
                say(Line::BootDone);
                return Log(text::kBootDone, l);
            case flash::StepEvent::TestStart:
                say(Line::TestStart);
                return Log(text::kTestStart, l);
            case flash::StepEvent::TestAttemptFailed:
                return Log(text::kTestAttemptFailed, l, code);
            case flash::StepEvent::TestFailed:
                return say(Line::TestFailed);
            case flash::StepEvent::TestDone:
                say(Line::TestDone);
                return Log(text::kTestDone, l);
        }
    };
    if (fromMaskRom && !withDeviceLines(layer, [&] {
            return flash::DownloadBootStep(path, options->boot, report, flash::kBootSettleMs,
                                           &bootLock_);
        }))
        return failBeforeGate(text::withCode(config_.reasons.boot.c_str(), -1));

    flash::CFlashDevice flash;
    flash.SetDevice(path);
    flash.systemDiskMB = options->systemDiskMB >= 1 ? options->systemDiskMB : options->imageSizeMB;
    flash.systemCheckMB = options->imageSizeMB;
    flash.diskSizesText = options->partition;
    flash.noSystemMargin = options->trailerPresent ? 1 : 0;
    flash.loaderWords = options->loaderWords;
    for (auto [question, text] : {std::pair{&flash.askSystemDiskFormat, &options->askSystemDiskFormat},
                                  std::pair{&flash.askUserDiskFormat, &options->askUserDiskFormat},
                                  std::pair{&flash.askForceErase, &options->askForceErase}})
        if (!text->empty()) *question = *text;
    flash.SetBootFiles(options->boot.data, options->boot.flashBoot);
    if (!flash::TestReadyStep(path, report))
        return failBeforeGate(fromMaskRom ? config_.reasons.testFailed
                                          : config_.reasons.testTimedOut);

    say(Line::IdBlockStart);
    Log(text::kIdBlockStart, l);
    if (options->serialNumber) {
        const std::optional<std::string> serial = options->serialNumber(index, layer);
        if (!serial) {
            say(Line::IdBlockFailed);
            return failBeforeGate(config_.reasons.noSerialNumber);
        }
        flash.snData.assign(serial->begin(), serial->end());
    }
    const int written =
        withDeviceLines(layer, [&] { return flash.WriteIDBlock(options->forceErase, fromMaskRom); });
    if (written != 0) {
        say(Line::IdBlockFailed);
        return failBeforeGate(text::withCode(config_.reasons.idBlock.c_str(), written));
    }
    say(Line::IdBlockDone);
    Log(text::kIdBlockDone, l);

    eventGate_.release();
    imageGate_.add();
    if (!eventGate_.wait()) return;

    say(Line::ResetStart);
    Log(text::kResetStart, l);
    os::Os& sys = os::current();
    int result = -1;
    for (int attempt = 0; attempt < kResetAttempts; ++attempt) {
        result = CVU_ResetDevice(path.c_str());
        if (!resetFailed(result)) break;
        Log(text::kResetFailed, l, result);
        sys.sleepMs(kResetRetryMs);
    }
    if (resetFailed(result)) {
        // Past the Event gate: its place at the Image gate is what the others wait for.
        imageGate_.release();
        say(Line::ResetFailed);
        return failSlot(index, StageMessage::ImageStageDone, config_.reasons.reset);
    }
    say(Line::ResetDone);
    if (result != 0)
        Log(text::kResetDoneCode, l, result);
    else
        Log(text::kResetDone, l);
    listener_.cellBlink(index, false);
    say(Line::StageOneDone);
    {
        std::lock_guard lock(table_);
        PortSlot& s = slots_[static_cast<std::size_t>(index)];
        s.resetTick = tick();
        s.status = SlotStatus::WaitLoader;
    }
    Log(fromMaskRom ? text::kMaskRomStageDone : text::kLoaderStageDone, l);
}

}  // namespace cv50::batch
