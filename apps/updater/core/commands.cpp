// The updater's two commands: Upgrade (a disk or a loader) and Repair (any mode), checked and
// confirmed on the window thread, then run by a worker that drives CV50DLL and posts its
// result to the window.
#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/partition.h"
#include "apps/updater/core/updater.h"
#include "base/unicode.h"
#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"

namespace cv50::updater {

void Updater::command(Command command) {
    busy_ = true;
    {
        // A pass in flight ends before the held record is looked at.
        std::lock_guard pass(passMutex_);
        int refusal = 0;
        if (found_ >= 2)
            refusal = 109;
        else if (held_.devInst == 0)
            refusal = 110;
        else if (firmware_.empty())
            refusal = 47;
        else if (command == Command::Upgrade && held_.type == MaskRom)
            refusal = 102;
        if (refusal != 0) {
            message(texts_.get(refusal), settings_.appTitle, os::MessageIcon::Warning);
            busy_ = false;
            return;
        }
    }
    const bool repair = command == Command::Repair;
    const os::MessageAnswer answer = os::current().messageBox(
        base::utf8FromUtf16(texts_.get(repair ? 81 : 88)), base::utf8FromUtf16(settings_.appTitle),
        os::MessageButtons::YesNo, os::MessageIcon::Warning);
    if (answer != os::MessageAnswer::Yes) {
        busy_ = false;
        return;
    }
    for (int control : {IDC_UPGRADE, IDC_REPAIR, IDC_CHOOSE_IMAGE})
        view_.setEnabled(control, false);
    view_.startBusy();
    view_.setText(IDC_STATUS_LINE, texts_.get(repair ? 82 : 44));
    stepLine(u"");
    startTick_ = os::current().tickMs();
    view_.startTimer(IDT_ELAPSED, kElapsedTimerMs);
    (repair ? repairRunning_ : upgradeRunning_) = true;
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([this, command] {
        const int code = runCommand(command);
        view_.postResult(static_cast<int>(command), code);
    });
}

int Updater::runCommand(Command command) {
    os::Os& sys = os::current();
    const int usb11 = settings_.supportUsb11 ? 1 : 0;
    std::string loader = narrow(loaderPath_).value_or("");
    std::string firmware = narrow(firmware_).value_or("");
    std::string volume = narrow(settings_.diskVolume).value_or("");
    const PartitionVector partition = partitionVector(imageSizeMB_, settings_.partition);

    if (command == Command::Repair && EraseIdbRequested(settingsFile(programFolder_)) &&
        !CV_EraseIDB(held_, kWaitSeconds, usb11, loader.data()))
        return result::kEraseFailed;
    if (held_.type == Msc) {
        if (const int switched = switchToCorvUsb(); switched != 0) return switched;
    }
    const DiskSizes sizes = diskSizes(partition, hasSizeRecord_, imageSystemMB_, imageConfigMB_);
    stepLine(texts_.get(89));
    const int upgraded = CV_Upgrade(held_, imageSizeMB_, sizes.systemMB, sizes.configMB,
                                    loader.data(), static_cast<int>(command), hasSizeRecord_);
    if (upgraded != 0) return resultOfUpgrade(upgraded);
    CV_ResetDevice(held_);
    sys.sleepMs(kResetPauseMs);
    stepLine(texts_.get(90));
    if (!CV_WaitDevice(held_, Loader, kWaitSeconds, usb11)) return result::kNotBackAfterReset;
    stepLine(texts_.get(91));
    if (!CV_DownloadImage(held_, firmware.data())) return result::kImageFailed;
    stepLine(texts_.get(92));
    if (command == Command::Repair) {
        stepLine(texts_.get(120));
        return CV_CopyData(held_, nullptr, volume.data(), kDiskWaitSeconds, usb11)
                   ? result::kOk
                   : result::kCopyFailed;
    }
    CV_ResetDevice(held_);
    return result::kOk;
}

int Updater::switchToCorvUsb() {
    const int usb11 = settings_.supportUsb11 ? 1 : 0;
    stepLine(texts_.format(6, {settings_.corvUsbName}));
    os::current().sleepMs(kSwitchPauseMs);
    if (!CV_SwitchCorvUsb(held_)) return result::kSwitchFailed;
    if (CV_WaitDevice(held_, Loader, kWaitSeconds, usb11)) return result::kOk;
    // Not back: on a PC that has never had the CorvUsb driver the loader is an unknown device.
    if (!CVIsCorvUsbPlug()) return result::kNotBackAfterSwitch;
    const std::u16string inf = programFolder_ + text::kDriverFile;
    if (!fileExists(inf)) return result::kDriverFileMissing;
    std::optional<std::string> infNarrow = narrow(inf);
    if (!infNarrow) return result::kDriverPathUnusable;
    const int installed = CVInstallDriver(infNarrow->data());
    if (installed != 0 && installed != 1) return result::kDriverFailed;
    if (CV_WaitDevice(held_, Loader, kWaitSeconds, usb11)) return result::kOk;
    return result::kNotBackAfterSwitch;
}

}  // namespace cv50::updater
