// The device tools of the dialog, on the window thread under the critical section so they
// never overlap a step: switch a disk to CorvUsb, the disk capacities, erase the ID Blocks,
// and the hidden boot download.
#include <cstdio>

#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/engineering_tool.h"
#include "apps/engineering/core/texts.h"
#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/disk_commands.h"
#include "engine/device/volume.h"
#include "engine/flash/boot_download.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"
#include "engine/os/os.h"

namespace cv50::engineering {
namespace {

constexpr int kDriveAttempts = 3;
constexpr std::uint32_t kDriveRetryMs = 1000;

void errorBox(const char* message) {
    os::current().messageBox(message, text::kToolErrorCaption, os::MessageButtons::Ok,
                             os::MessageIcon::Error);
}

void informationBox(const std::string& message, const char* caption) {
    os::current().messageBox(message, caption, os::MessageButtons::Ok,
                             os::MessageIcon::Information);
}

}  // namespace

void EngineeringTool::onSwitch() {
    std::lock_guard lock(section_);
    if (found_.count != 1 || found_.device.type != Msc) return;
    os::Os& sys = os::current();
    device::DriveLookup lookup(found_.device.devicePath, found_.device.devInst);
    for (int attempt = 0; attempt < kDriveAttempts; ++attempt) {
        if (device::GetDemoDrive(lookup)) {
            // The controller then sees the disk leave and come back as a loader.
            if (!device::ScsiVendorCommand(lookup.driveLetter, device::kCommandSwitchToCorvUsb,
                                           nullptr, 0))
                errorBox(text::kSwitchFailed);
            return;
        }
        sys.sleepMs(kDriveRetryMs);
    }
    errorBox(text::kSwitchNoDrive);
}

void EngineeringTool::onDiskCapacity() {
    std::lock_guard lock(section_);
    if (found_.count != 1) return;
    if (found_.device.type == Msc) return errorBox(text::kCapacityOnDisk);
    if (found_.device.type != Loader) return;
    flash::CFlashDevice flash;
    flash.SetDevice(found_.device.devicePath);
    flash::IdBlockImage head;
    if (!flash.GetFlashInfo(flash.flashInfo) || flash.FindAllIDB() < 1 ||
        flash.ReadIdBlockHead(flash.idbBlocks[0], head) != 0)
        return errorBox(text::kCapacityFailed);
    const flash::IdBlockLayout layout = flash::ReadIdBlockLayout(head.data(1));
    char message[128];
    std::snprintf(message, sizeof message, text::kCapacity, layout.diskSizesMB[0],
                  layout.diskSizesMB[1]);
    informationBox(message, text::kCapacityCaption);
}

void EngineeringTool::onEraseIdb() {
    std::lock_guard lock(section_);
    if (found_.count != 1) return;
    const DEVICE_INFO device = found_.device;
    if (device.type == Msc) return errorBox(text::kEraseOnDisk);
    const std::string path = device.devicePath;
    if (device.type == MaskRom) {
        if (!bootReady_) return errorBox(text::kEraseNoBoot);
        if (!flash::DownloadBootStep(path, pieces_, {}, flash::kBootSettleMs))
            return errorBox(text::kEraseBootFailed);
        if (!flash::TestReadyStep(path, {})) return errorBox(text::kEraseTestFailed);
    }
    flash::CFlashDevice flash;
    flash.SetDevice(path);
    if (flash.EraseIDBArea() != 1) return errorBox(text::kEraseFailed);
    CVU_ResetDevice(path.c_str());
    informationBox(text::kEraseDone, text::kEraseCaption);
}

void EngineeringTool::onBootDownload() {
    std::lock_guard lock(section_);
    if (devicePath_.empty()) return;
    log_.windowOnly(text::kBootStart);
    flash::BootDownload boot(devicePath_);
    const bool ok = boot.DownloadBoot(pieces_.data, pieces_.prog, pieces_.prog2nd) != 0;
    log_.windowOnly(ok ? text::kBootDone : text::kBootFailed);
}

}  // namespace cv50::engineering
