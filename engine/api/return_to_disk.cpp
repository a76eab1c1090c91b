// Loaders reset into disk mode and the disks waited for.
#include "engine/api/return_to_disk.h"

#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/api/search_exports.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kResetFlagAttempts = 3;

void failAllNotFailed(SEARCH_RESULT& list, ErrorListWriter& errors, const char* text) {
    for (int i = 0; i < list.count; ++i) FailRecord(list, i, errors, text);
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

}  // namespace

void FailRecord(SEARCH_RESULT& list, int index, ErrorListWriter& errors, const char* text) {
    DEVICE_INFO& d = list.devices[index];
    if (d.status == StatusFailed) return;
    d.status = StatusFailed;
    errors.add(static_cast<unsigned>(index), text);
    ReportProgress(layerOf(d), ProgressStep::Failed);
}

bool ResetLoadersIntoDisks(SEARCH_RESULT& list, ErrorListWriter& errors,
                           unsigned short mscTimeoutSeconds, bool includeUsb11, OwnedList& disks) {
    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        d.status = StatusBusy;
        if (d.type != Loader) FailRecord(list, i, errors, "Error:Device is not Loader");
    }
    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        if (d.status == StatusFailed) continue;
        if (const char* failure = resetIntoDisk(d))
            FailRecord(list, i, errors, failure);
        else
            d.status = StatusOk;
    }

    OwnedList reset;
    if (!reset.copySuccessful(list)) {
        failAllNotFailed(list, errors, "Error:Copy successful device failed");
        return false;
    }
    for (int i = 0; i < reset.count(); ++i)
        ReportProgress(layerOf(reset[i]), ProgressStep::WaitDisk);
    Log("INFO:Begin to wait for msc device");
    device::WaitForDevices(&reset.get(), Msc, mscTimeoutSeconds, device::walkFor(includeUsb11));
    Log("INFO:wait for msc device return");

    // A loader that never came back as a disk has failed, even when others did come back.
    for (int k = 0; k < reset.count(); ++k) {
        if (reset[k].status == StatusOk) continue;
        const int i = indexOfLayer(list, reset[k]);
        if (i >= 0) FailRecord(list, i, errors, "Error:Wait msc device failed");
    }
    if (!disks.copySuccessful(reset.get())) {
        failAllNotFailed(list, errors, "Error:Wait msc device failed");
        return false;
    }
    return true;
}

int ReturnToDisk(SEARCH_RESULT* devices, ERROR_LIST* errorList, unsigned short mscTimeoutSeconds,
                 bool includeUsb11) {
    ErrorListWriter errors(errorList, errorTable());
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 1;
    OwnedList disks;
    if (!ResetLoadersIntoDisks(*devices, errors, mscTimeoutSeconds, includeUsb11, disks)) return 0;
    for (int k = 0; k < disks.count(); ++k) ReportProgress(layerOf(disks[k]), ProgressStep::Done);
    for (int i = 0; i < devices->count; ++i)
        if (devices->devices[i].status == StatusFailed) return 0;
    return 1;
}

}  // namespace cv50::api
