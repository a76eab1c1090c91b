#include "engine/api/image_worker.h"

#include <cstdint>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/log.h"
#include "engine/flash/image_download.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kFailureBudget = 3;

void logTestFailed(const std::string& layer, MessageForm form, int result) {
    if (form == MessageForm::Plain)
        Log("ERROR:Test device failed,ErrCode(%d)", result);
    else
        Log("<Layer:%s> ERROR:Test device failed,ErrCode(%d)", layer.c_str(), result);
}

}  // namespace

bool TestUntilReady(const DEVICE_INFO& device, MessageForm form) {
    const std::string path = pathOf(device);
    const std::string layer = layerOf(device);
    os::Os& sys = os::current();
    ReportProgress(layer, ProgressStep::TestDevice);
    int budget = kFailureBudget;
    int busyAnswers = 0;
    for (;;) {
        unsigned total = 0, done = 0;
        const int r = CVU_TestUnitReady(path.c_str(), &total, &done);
        if (r == 0) return true;
        if (r == CVU_BUSY) {
            if (++busyAnswers > kBusyAnswerLimit) {
                logTestFailed(layer, form, r);
                return false;
            }
            // The loader tells how far its preparation has come.
            ReportProgress(layer, ProgressStep::TestDevice, done, total);
            sys.sleepMs(1000);
            budget = kFailureBudget;
            continue;
        }
        logTestFailed(layer, form, r);
        sys.sleepMs(1000);
        if (--budget == 0) return false;
    }
}

int DownloadImageWithProgress(const DEVICE_INFO& device, const std::string& imagePath,
                              MessageForm form) {
    const std::string path = pathOf(device);
    const std::string layer = layerOf(device);
    ReportProgress(layer, ProgressStep::DownloadImage);
    // One count over both phases: the bytes written, then the bytes checked after them.
    const flash::ImageProgress bytes = [&layer](flash::ImagePhase phase, std::uint64_t done,
                                                std::uint64_t total) {
        const std::uint64_t before = phase == flash::ImagePhase::Checked ? total : 0;
        ReportProgress(layer, ProgressStep::DownloadImage, before + done, 2 * total);
    };
    if (form == MessageForm::Plain) return flash::DownloadImage(path, imagePath, bytes);
    return flash::DownloadImageLayer(path, layer, imagePath, bytes);
}

void ImageWorker(DEVICE_INFO& device, const std::string& imagePath) {
    const std::string layer = layerOf(device);
    bool ok = TestUntilReady(device, MessageForm::Layered);
    if (ok) {
        ok = DownloadImageWithProgress(device, imagePath, MessageForm::Layered) == 0;
        if (ok)
            Log("<Layer:%s> INFO:Download Image OK", layer.c_str());
        else
            Log("<Layer:%s> ERROR:Download Image failed", layer.c_str());
    }
    device.status = ok ? StatusOk : StatusFailed;
    ReportProgress(layer, ok ? ProgressStep::Done : ProgressStep::Failed);
}

}  // namespace cv50::api
