// The steps of a pass, each on the step thread under the dialog's critical section: the ID
// Block (from mask ROM or from the loader), the image with its device test, the Demo disk.
#include <chrono>
#include <cstdio>

#include "apps/common/boot_texts.h"
#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/engineering_tool.h"
#include "apps/engineering/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/disk_commands.h"
#include "engine/device/format_copy.h"
#include "engine/device/search.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/image_download.h"
#include "engine/os/os.h"

namespace cv50::engineering {
namespace {

constexpr int kResetAttempts = 3;
constexpr std::uint32_t kResetRetryMs = 5000;
constexpr int kResetFlagAttempts = 3;
constexpr std::uint32_t kResetFlagRetryMs = 1000;
constexpr std::uint32_t kDriveRetryMs = 2000;
constexpr int kFormatAttempts = 3;
constexpr std::uint32_t kFormatPauseMs = 1000;
constexpr std::size_t kSerialBytes = 20;

bool resetFailed(int result) { return result == -1 || result == -2; }

}  // namespace

void EngineeringTool::failStep(const char* endLine) {
    stage_ = static_cast<int>(Stage::Failed);
    view_.postPassEnd(true);
    log_.line(kLevelDetail, "%s", endLine);
}

void EngineeringTool::idBlockStep(const DEVICE_INFO& device, bool fromMaskRom) {
    std::unique_lock lock(section_);
    const bool ok = writeIdBlock(device, fromMaskRom);
    lock.unlock();
    if (!ok) return failStep(fromMaskRom ? text::kMaskRomStepFailed : text::kLoaderStepFailed);
    log_.line(kLevelDetail, "%s", fromMaskRom ? text::kMaskRomStepOk : text::kLoaderStepOk);
}

bool EngineeringTool::writeIdBlock(const DEVICE_INFO& device, bool fromMaskRom) {
    Controls c;
    {
        std::lock_guard lock(controlsMutex_);
        c = *controls_;
    }
    const std::string path = device.devicePath;
    log_.line(kLevelDetail, fromMaskRom ? text::kMaskRomPath : text::kLoaderPath, path.c_str());

    flash::CFlashDevice flash;
    flash.SetDevice(path);
    flash.systemDiskMB = systemDiskMB_ >= 1 ? systemDiskMB_ : imageSizeMB_;
    flash.systemCheckMB = imageSizeMB_;
    flash.diskSizesText = partition_;
    flash.noSystemMargin = hasSizeRecord_ ? 1 : 0;
    flash.askBeforeOffsetCorrection = text::kAskOffsetCorrection;
    flash.askBeforeReservedCorrection = text::kAskReservedCorrection;
    if (c.serial && !c.serialText.empty()) {
        const std::string sn = c.serialText.substr(0, kSerialBytes);
        flash.snData.assign(sn.begin(), sn.end());
    }

    const flash::StepReport report = [&](flash::StepEvent event, int code) {
        switch (event) {
            case flash::StepEvent::BootStart:
                return log_.line(kLevelProgress, "%s", text::kBootStart);
            case flash::StepEvent::BootFailed:
                return log_.line(kLevelProgress, "%s", text::kBootFailedReplug);
            case flash::StepEvent::BootDone:
                return log_.line(kLevelProgress, "%s", text::kBootDone);
            case flash::StepEvent::TestStart:
                return log_.line(kLevelProgress, "%s", text::kTestLink);
            case flash::StepEvent::TestAttemptFailed:
                return log_.line(
                    kLevelProgress,
                    fromMaskRom ? text::kTestLinkAttemptMaskRom : text::kTestLinkAttemptLoader,
                    code);
            case flash::StepEvent::TestFailed:
                return log_.line(kLevelProgress, "%s", text::kTestLinkFailed);
            case flash::StepEvent::TestDone:
                return log_.line(kLevelProgress, "%s", text::kTestLinkOk);
        }
    };
    if (fromMaskRom) {
        if (!c.downloadBoot)
            log_.line(kLevelProgress, "%s", text::kBootSkipped);
        else if (!flash::DownloadBootStep(path, pieces_, report, flash::kBootSettleMs))
            return false;
    }
    flash.SetBootFiles(pieces_.data, pieces_.flashBoot);
    if (!flash::TestReadyStep(path, report)) return false;

    log_.line(kLevelProgress, "%s", text::kIdBlockStart);
    flash.loaderWords = apps::idBlockWordsFromTexts(c.bootVersion, c.bootDate);
    const int written = flash.WriteIDBlock(c.forceErase, fromMaskRom);
    if (written < 0) {
        log_.line(kLevelProgress, text::kIdBlockFailed, written);
        return false;
    }
    log_.line(kLevelProgress, "%s", text::kIdBlockDone);
    log_.line(kLevelProgress, "%s", text::kResetStart);
    os::Os& sys = os::current();
    for (int attempt = 0; attempt < kResetAttempts; ++attempt) {
        const int r = CVU_ResetDevice(path.c_str());
        if (!resetFailed(r)) {
            log_.line(kLevelProgress, "%s", text::kResetDone);
            waitStart_ = sys.tickMs();
            deviceGone_ = false;
            stage_ = static_cast<int>(Stage::WaitLoader);
            return true;
        }
        log_.line(kLevelProgress, text::kResetFailed, r);
        sys.sleepMs(kResetRetryMs);
    }
    return false;
}

bool EngineeringTool::testUntilReady(const std::string& path) {
    log_.line(kLevelProgress, "%s", text::kTestStart);
    flash::ReadyWatch watch;
    watch.busy = [this](unsigned total, unsigned current) {
        char line[128];
        std::snprintf(line, sizeof line, text::kTestBusy, static_cast<int>(total),
                      static_cast<int>(current));
        log_.progress(line);
    };
    watch.failed = [this](int code) { log_.line(kLevelDetail, text::kTestAttemptFailed, code); };
    watch.stop = [this] { return quit_.load(); };
    if (!flash::TestUntilReady(path, watch)) {
        if (!quit_) log_.line(kLevelProgress, "%s", text::kTestFailed);
        return false;
    }
    log_.line(kLevelProgress, "%s", text::kTestDone);
    return true;
}

void EngineeringTool::imageStep(DEVICE_INFO device) {
    std::unique_lock lock(section_);
    os::Os& sys = os::current();
    const std::string path = device.devicePath;
    const auto fail = [&] {
        lock.unlock();
        failStep(text::kImageStepFailed);
    };
    log_.line(kLevelDetail, text::kImagePath, path.c_str());
    if (!testUntilReady(path)) return fail();

    log_.line(kLevelProgress, "%s", text::kImageStart);
    const std::uint64_t start = sys.tickMs();
    int shownPercent = -1;
    const auto progress = [&](flash::ImagePhase phase, std::uint64_t done, std::uint64_t total) {
        if (total == 0) return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == shownPercent) return;
        shownPercent = percent;
        char line[128];
        std::snprintf(
            line, sizeof line,
            phase == flash::ImagePhase::Written ? text::kImageWriting : text::kImageChecking,
            percent);
        log_.progress(line);
    };
    const int result = flash::DownloadImage(path, imagePath_, progress);
    if (result != 0) {
        log_.line(kLevelProgress, text::kImageFailed, result);
        return fail();
    }
    log_.line(kLevelProgress, text::kImageDone, static_cast<int>(sys.tickMs() - start));

    if (!demo_) {
        // Between the passes of an automatic run the player stays a loader.
        if (!autoMode_) CVU_ResetDevice(path.c_str());
        stage_ = static_cast<int>(Stage::Succeeded);
        lock.unlock();
        view_.postPassEnd(false);
        return;
    }
    log_.line(kLevelProgress, "%s", text::kResetFlagStart);
    int attempt = 0;
    for (; attempt < kResetFlagAttempts; ++attempt) {
        const int r = CVU_SetResetFlag(path.c_str());
        if (r == 0) break;
        log_.line(kLevelProgress, text::kResetFlagAttemptFailed, r);
        sys.sleepMs(kResetFlagRetryMs);
    }
    if (attempt == kResetFlagAttempts) {
        log_.line(kLevelProgress, "%s", text::kResetFlagFailed);
        return fail();
    }
    log_.line(kLevelProgress, "%s", text::kResetStart);
    const int r = CVU_ResetDevice(path.c_str());
    if (resetFailed(r)) {
        log_.line(kLevelProgress, text::kResetFailed, r);
        return fail();
    }
    if (r == 0)
        log_.line(kLevelProgress, "%s", text::kResetDone);
    else
        log_.line(kLevelProgress, text::kResetDoneCode, r);
    waitStart_ = sys.tickMs();
    deviceGone_ = false;
    stage_ = static_cast<int>(Stage::WaitDisk);
}

void EngineeringTool::demoStep(DEVICE_INFO device) {
    std::unique_lock lock(section_);
    os::Os& sys = os::current();
    const auto fail = [&](const char* line) {
        log_.line(kLevelProgress, "%s", line);
        lock.unlock();
        failStep(text::kDemoStepFailed);
    };
    log_.line(kLevelProgress, "%s", text::kDemoDiskStart);
    log_.line(kLevelDetail, text::kDemoPath, device.devicePath);
    const char letter = device::findDriveLetter(device.devicePath, device.devInst, kDriveRetryMs);
    if (letter == 0) return fail(text::kDemoDiskFailed);

    log_.line(kLevelProgress, "%s", text::kFormatStart);
    bool formatted = false;
    for (int attempt = 0; attempt < kFormatAttempts && !formatted; ++attempt) {
        sys.sleepMs(kFormatPauseMs);
        device::FormatDisk(letter, "FAT32", settings_.diskVolume, device::FormatCallbackProc);
        formatted = device::FormatResult();
    }
    if (!formatted) return fail(text::kFormatFailed);
    if (!demoFolder_.empty()) {
        log_.line(kLevelProgress, "%s", text::kCopyStart);
        const std::uint64_t start = sys.tickMs();
        if (!device::CopyData(demoFolder_, letter)) return fail(text::kCopyFailed);
        log_.line(kLevelProgress, text::kCopyDone, static_cast<int>(sys.tickMs() - start));
    }
    device::EjectDevice(device.devInst);
    stage_ = static_cast<int>(Stage::Succeeded);
    lock.unlock();
    view_.postPassEnd(false);
}

}  // namespace cv50::engineering
