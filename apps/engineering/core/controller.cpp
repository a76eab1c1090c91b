// The controller thread: every 200 ms it looks for the player, shows what it found, starts
// the next step of a pass when the player is where the pass needs it, and times out the
// waits after a reset.
#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/engineering_tool.h"
#include "apps/engineering/core/texts.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::engineering {

void EngineeringTool::controllerLoop() {
    os::Os& sys = os::current();
    while (!quit_) {
        controllerPass();
        sys.sleepMs(kControllerPollMs);
    }
    if (step_.joinable()) step_.join();
    controllerEnded_ = true;
}

EngineeringTool::Found EngineeringTool::search() {
    const device::FoundPlayers players =
        device::FindPlayers(device::walkFor(settings_.supportUsb11));
    Found found;
    found.count = players.count;
    if (!players.players.empty()) found.device = players.players.front();
    return found;
}

void EngineeringTool::startStep(std::function<void()> step) {
    // The previous step has ended (it set the stage this pass acts on); collect its thread.
    if (step_.joinable()) step_.join();
    step_ = std::thread(std::move(step));
}

void EngineeringTool::controllerPass() {
    Found found;
    {
        std::lock_guard lock(section_);
        found = found_ = search();
    }
    if (quit_) return;
    bool autoChecked;
    {
        std::lock_guard lock(controlsMutex_);
        autoChecked = controls_->autoUpgrade;
    }
    if (autoMode_ && !autoChecked && stage() == Stage::Idle && remaining_ > 0) {
        log_.line(kLevelProgress, "%s", text::kAutoCancelled);
        remaining_ = 0;
        view_.postPassEnd(true);
    }

    const std::uint64_t now = os::current().tickMs();
    const auto waited = [&] { return now - waitStart_.load() > kReturnWaitMs; };
    const char* line = text::kDeviceSeveral;
    if (found.count == 0) {
        line = text::kDeviceNotFound;
        {
            std::lock_guard lock(section_);
            devicePath_.clear();
        }
        if (stage() == Stage::WaitLoader || stage() == Stage::WaitDisk) deviceGone_ = true;
    } else if (found.count == 1) {
        const CV_DEVICE_TYPE type = found.device.type;
        line = type == Loader    ? text::kDeviceLoader
               : type == MaskRom ? text::kDeviceMaskRom
                                 : text::kDeviceDisk;
        {
            std::lock_guard lock(section_);
            devicePath_ = found.device.devicePath;
        }
        if (remaining_ > 0) {
            switch (stage()) {
                case Stage::Idle:
                    if (type != MaskRom && type != Loader) break;
                    if (autoMode_) log_.line(kLevelProgress, text::kAutoPass, remaining_.load());
                    log_.banner(text::kBannerUpgrade);
                    stage_ = static_cast<int>(Stage::IdBlockRunning);
                    startStep([this, device = found.device, type] {
                        idBlockStep(device, type == MaskRom);
                    });
                    break;
                case Stage::WaitLoader:
                    // Back after it left, or never seen to leave but a loader after the wait.
                    if (type == Loader && (deviceGone_ || waited())) {
                        log_.banner(text::kBannerImage);
                        waitStart_ = 0;
                        deviceGone_ = false;
                        stage_ = static_cast<int>(Stage::ImageRunning);
                        startStep([this, device = found.device] { imageStep(device); });
                    }
                    break;
                case Stage::WaitDisk:
                    if (type == Msc) {
                        log_.banner(text::kBannerDemo);
                        waitStart_ = 0;
                        deviceGone_ = false;
                        stage_ = static_cast<int>(Stage::DemoRunning);
                        startStep([this, device = found.device] { demoStep(device); });
                    }
                    break;
                default:
                    break;
            }
        }
    } else {
        std::lock_guard lock(section_);
        devicePath_.clear();
    }
    if (line != shownDeviceLine_) view_.setText(IDC_DEVICE_LINE, line);
    shownDeviceLine_ = line;

    const Stage waiting = stage();
    if ((waiting == Stage::WaitLoader || waiting == Stage::WaitDisk) && waited()) {
        log_.line(kLevelProgress, "%s",
                  waiting == Stage::WaitLoader ? text::kLoaderTimeout : text::kDiskTimeout);
        stage_ = static_cast<int>(Stage::Failed);
        view_.postPassEnd(true);
    }
}

}  // namespace cv50::engineering
