// MD_DownImage: one image worker per loader of the list, all at once.
#include <string>

#include "engine/api/device_workers.h"
#include "engine/api/error_list.h"
#include "engine/api/export_guard.h"
#include "engine/api/image_worker.h"
#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/log.h"

namespace cv50::api {
namespace {

int downImage(SEARCH_RESULT* devices, const std::string& imagePath, ERROR_LIST* errorList) {
    ErrorListWriter errors(errorList, errorTable());
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 1;
    DeviceWorkers workers;
    for (int i = 0; i < devices->count; ++i) {
        DEVICE_INFO& d = devices->devices[i];
        d.status = StatusBusy;
        if (d.type != Loader) {
            d.status = StatusFailed;
            errors.add(static_cast<unsigned>(i), "Error:Device is not Loader");
            ReportProgress(layerOf(d), ProgressStep::Failed);
            continue;
        }
        Log("<Layer:%s> INFO:Begin to download image", layerOf(d).c_str());
        // Each worker holds its own copy of the path, so none is shared while they run.
        workers.start(d, [imagePath](DEVICE_INFO& own) { ImageWorker(own, imagePath); });
    }
    workers.waitAll();

    int result = 1;
    for (int i = 0; i < devices->count; ++i) {
        if (devices->devices[i].status != StatusFailed) continue;
        errors.add(static_cast<unsigned>(i), "Error:Download Image Failed");
        result = 0;
    }
    return result;
}

}  // namespace
}  // namespace cv50::api

extern "C" int MD_DownImage(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors) {
    return cv50::api::Guarded("MD_DownImage", 0, [&] {
        return cv50::api::downImage(devices, imagePath ? imagePath : "", errors);
    });
}
