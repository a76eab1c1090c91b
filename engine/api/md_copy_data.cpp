// MD_CopyData: every loader of the list reset into disk mode, the disks waited for, then
// one format (and copy) worker per disk, all at once.
#include <string>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/device_workers.h"
#include "engine/api/error_list.h"
#include "engine/api/md_exports.h"
#include "engine/api/owned_list.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/format_copy.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kResetFlagAttempts = 3;

// Marks the caller's record failed with `text`, once: a record already failed keeps its
// first message.
void fail(SEARCH_RESULT& list, int index, ErrorListWriter& errors, const char* text) {
    DEVICE_INFO& d = list.devices[index];
    if (d.status == StatusFailed) return;
    d.status = StatusFailed;
    errors.add(static_cast<unsigned>(index), text);
    ReportProgress(layerOf(d), ProgressStep::Failed);
}

void failAllNotFailed(SEARCH_RESULT& list, ErrorListWriter& errors, const char* text) {
    for (int i = 0; i < list.count; ++i) fail(list, i, errors, text);
}

// Reset flag and reset; nullptr when the loader went off to come back as a disk.
const char* resetIntoDisk(const DEVICE_INFO& d) {
    os::Os& sys = os::current();
    const std::string layer = layerOf(d);
    const std::string path = pathOf(d);
    ReportProgress(layer, ProgressStep::SetResetFlag);
    Log("<Layer:%s> INFO:Begin to set reset flag", layer.c_str());
    int attempt = 0;
    for (; attempt < kResetFlagAttempts; ++attempt) {
        if (CVU_SetResetFlag(path.c_str()) == 0) break;
        sys.sleepMs(1000);
    }
    if (attempt == kResetFlagAttempts) return "Error:SetResetFlag failed";
    ReportProgress(layer, ProgressStep::Reset);
    Log("<Layer:%s> INFO:Begin to reset device", layer.c_str());
    const int r = CVU_ResetDevice(path.c_str());
    // Other failures may come from a device that reset before it could answer.
    if (r == -1 || r == -2) return "Error:Reset device failed";
    return nullptr;
}

int copyData(SEARCH_RESULT* devices, ERROR_LIST* errorList, unsigned short mscTimeoutSeconds,
             const std::string& label, const char* sourceFolder, bool includeUsb11) {
    ErrorListWriter errors(errorList, errorTable());
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 1;
    SEARCH_RESULT& list = *devices;

    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        d.status = StatusBusy;
        if (d.type != Loader) fail(list, i, errors, "Error:Device is not Loader");
    }
    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        if (d.status == StatusFailed) continue;
        if (const char* failure = resetIntoDisk(d))
            fail(list, i, errors, failure);
        else
            d.status = StatusOk;
    }

    OwnedList reset;
    if (!reset.copySuccessful(list)) {
        failAllNotFailed(list, errors, "Error:Copy successful device failed");
        return 0;
    }
    for (int i = 0; i < reset.count(); ++i)
        ReportProgress(layerOf(reset[i]), ProgressStep::WaitDisk);
    Log("INFO:Begin to wait for msc device");
    if (includeUsb11)
        WaitCVDevice_All(&reset.get(), Msc, mscTimeoutSeconds);
    else
        WaitCVDevice(&reset.get(), Msc, mscTimeoutSeconds);
    Log("INFO:wait for msc device return");

    // A loader that never came back as a disk has failed, even when others did come back.
    for (int k = 0; k < reset.count(); ++k) {
        if (reset[k].status == StatusOk) continue;
        const int i = indexOfLayer(list, reset[k]);
        if (i >= 0) fail(list, i, errors, "Error:Wait msc device failed");
    }
    OwnedList disks;
    if (!disks.copySuccessful(reset.get())) {
        failAllNotFailed(list, errors, "Error:Wait msc device failed");
        return 0;
    }

    device::SetVolumeLabel(label);
    if (sourceFolder) device::SetCopySource(sourceFolder);
    DeviceWorkers workers;
    for (int k = 0; k < disks.count(); ++k) {
        const std::string layer = layerOf(disks[k]);
        if (sourceFolder) {
            ReportProgress(layer, ProgressStep::CopyData);
            Log("<Layer:%s> INFO:Begin to CopyData", layer.c_str());
            workers.start(disks[k], [](DEVICE_INFO& own) { device::FormatAndCopyWorker(own); });
        } else {
            ReportProgress(layer, ProgressStep::Format);
            Log("<Layer:%s> INFO:Begin to Format", layer.c_str());
            workers.start(disks[k], [](DEVICE_INFO& own) { device::FormatOnlyWorker(own); });
        }
    }
    workers.waitAll();

    for (int k = 0; k < disks.count(); ++k) {
        const int i = indexOfLayer(list, disks[k]);
        if (i < 0) continue;
        if (disks[k].status == StatusFailed) {
            fail(list, i, errors, "Error:Format and CopyData Failed");
        } else {
            ReportProgress(layerOf(list.devices[i]), ProgressStep::Done);
        }
    }
    for (int i = 0; i < list.count; ++i)
        if (list.devices[i].status == StatusFailed) return 0;
    return 1;
}

}  // namespace
}  // namespace cv50::api

extern "C" int MD_CopyData(SEARCH_RESULT* devices, ERROR_LIST* errors,
                           unsigned short mscTimeoutSeconds, char* volumeLabel, char* sourceFolder,
                           int includeUsb11) {
    try {
        return cv50::api::copyData(devices, errors, mscTimeoutSeconds,
                                   volumeLabel ? volumeLabel : "", sourceFolder, includeUsb11 != 0);
    } catch (...) {
        return 0;
    }
}
