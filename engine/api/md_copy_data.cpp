// MD_CopyData: every loader of the list reset into disk mode, the disks waited for, then
// one format (and copy) worker per disk, all at once.
#include <string>

#include "engine/api/device_workers.h"
#include "engine/api/error_list.h"
#include "engine/api/export_guard.h"
#include "engine/api/md_exports.h"
#include "engine/api/owned_list.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/api/return_to_disk.h"
#include "engine/device/format_copy.h"
#include "engine/device/log.h"

namespace cv50::api {
namespace {

int copyData(SEARCH_RESULT* devices, ERROR_LIST* errorList, unsigned short mscTimeoutSeconds,
             const std::string& label, const char* sourceFolder, bool includeUsb11) {
    ErrorListWriter errors(errorList, errorTable());
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 1;
    SEARCH_RESULT& list = *devices;

    OwnedList disks;
    if (!ResetLoadersIntoDisks(list, errors, mscTimeoutSeconds, includeUsb11, disks)) return 0;

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
            FailRecord(list, i, errors, "Error:Format and CopyData Failed");
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
    return cv50::api::Guarded("MD_CopyData", 0, [&] {
        return cv50::api::copyData(devices, errors, mscTimeoutSeconds,
                                   volumeLabel ? volumeLabel : "", sourceFolder, includeUsb11 != 0);
    });
}
