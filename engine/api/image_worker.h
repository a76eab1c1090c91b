// Writing the image onto one loader: the unit-ready test loop and the download, as the
// image workers of MD_DownImage and CV_DownloadImage run them.
#pragma once

#include <string>

#include "engine/device/records.h"

namespace cv50::api {

// Busy answers (one a second) the test loop accepts before it gives up. A loader is busy
// for a few seconds while it prepares its disk after power-on; three minutes is far beyond
// that, yet a device that hangs in busy no longer holds a whole batch forever.
inline constexpr int kBusyAnswerLimit = 180;

// Whether log lines name the device's Layer (the workers of a multi-device call) or not.
enum class MessageForm { Plain, Layered };

// CVU_TestUnitReady until the device is ready: 3 failures (a busy answer gives the budget
// back) or more than kBusyAnswerLimit busy answers end it.
[[nodiscard]] bool TestUntilReady(const DEVICE_INFO& device, MessageForm form);

// DownloadImage or DownloadImageLayer of `imagePath` to the device, with its progress.
// 0 or the download's negative result.
int DownloadImageWithProgress(const DEVICE_INFO& device, const std::string& imagePath,
                              MessageForm form);

// The image worker: the test loop, then the download and check of `imagePath`; leaves
// `device.status` StatusOk or StatusFailed.
void ImageWorker(DEVICE_INFO& device, const std::string& imagePath);

}  // namespace cv50::api
