// CV_CopyData: one loader reset into disk mode, the disk formatted and a folder copied on.
#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/cv_exports.h"
#include "engine/api/export_guard.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/disk_commands.h"
#include "engine/device/format_copy.h"
#include "engine/device/log.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kAttempts = 3;

int copyData(DEVICE_INFO& device, const char* sourceFolder, const std::string& label,
             unsigned short mscTimeoutSeconds, int includeUsb11) {
    os::Os& sys = os::current();
    const std::string path = pathOf(device);
    const std::string layer = layerOf(device);

    ReportProgress(layer, ProgressStep::SetResetFlag);
    Log("INFO:Start to set reset flag");
    int attempt = 0;
    for (; attempt < kAttempts; ++attempt) {
        if (CVU_SetResetFlag(path.c_str()) == 0) break;
        sys.sleepMs(1000);
    }
    if (attempt == kAttempts) {
        Log("Error:Set reset flag failed");
        return 0;
    }
    ReportProgress(layer, ProgressStep::Reset);
    Log("INFO:Start to reset device");
    const int reset = CVU_ResetDevice(path.c_str());
    if (reset == -1 || reset == -2) {
        Log("Error:Reset device failed");
        return 0;
    }
    ReportProgress(layer, ProgressStep::WaitDisk);
    if (!CV_WaitDevice(device, Msc, mscTimeoutSeconds, includeUsb11)) {
        Log("Error:Wait device failed");
        return 0;
    }

    ReportProgress(layer, ProgressStep::Format);
    Log("INFO:Start to format disk");
    sys.sleepMs(1000);
    device::SetVolumeLabel(label);
    // A disk whose volume never mounted has no letter to format.
    for (attempt = device.driveLetter ? 0 : kAttempts; attempt < kAttempts; ++attempt) {
        device::FormatDisk(device.driveLetter, "FAT32", label, device::FormatCallbackProc);
        if (device::FormatResult()) break;
        Log("INFO:Format failed,ErrCode(%d)", static_cast<int>(sys.lastError()));
        sys.sleepMs(2000);
    }
    if (attempt == kAttempts) {
        Log("ERROR:Format disk failed");
        return 0;
    }
    if (sourceFolder) {
        ReportProgress(layer, ProgressStep::CopyData);
        Log("INFO:Start to copy data to disk");
        if (!device::CopyData(sourceFolder, device.driveLetter)) {
            Log("ERROR:CopyData failed");
            return 0;
        }
        Log("INFO:CopyData OK");
    }
    (void)device::ScsiVendorCommand(device.driveLetter, device::kCommandDataCopied, nullptr, 0);
    return 1;
}

}  // namespace
}  // namespace cv50::api

int CV_CopyData(DEVICE_INFO& device, char* sourceFolder, char* volumeLabel,
                unsigned short mscTimeoutSeconds, int includeUsb11) {
    return cv50::api::Guarded("CV_CopyData", 0, [&] {
        const int ok = cv50::api::copyData(device, sourceFolder, volumeLabel ? volumeLabel : "",
                                           mscTimeoutSeconds, includeUsb11);
        cv50::api::ReportProgress(cv50::api::layerOf(device), ok ? cv50::api::ProgressStep::Done
                                                                 : cv50::api::ProgressStep::Failed);
        return ok;
    });
}
