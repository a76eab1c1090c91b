#include "engine/api/progress.h"

#include <iterator>

#include "base/callback_slot.h"

namespace cv50::api {
namespace {

base::CallbackSlot<ProgressSink>& sinkSlot() {
    static base::CallbackSlot<ProgressSink> slot;
    return slot;
}

}  // namespace

const char* progressStepName(ProgressStep step) {
    // In the order of the steps.
    static constexpr const char* kNames[] = {
        "switch to loader", "upgrade",        "download boot", "test device", "write ID Block",
        "reset",            "wait for loader", "download image", "set reset flag", "wait for disk",
        "format",           "copy data",       "done",           "failed"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(ProgressStep::Failed) + 1);
    const auto index = static_cast<std::size_t>(step);
    return index < std::size(kNames) ? kNames[index] : "?";
}

ProgressSink SetProgressSink(ProgressSink sink) { return sinkSlot().exchange(std::move(sink)); }

void ReportProgress(const std::string& layer, ProgressStep step, std::uint64_t done,
                    std::uint64_t total) {
    // A sink that throws must not take a worker thread down with it.
    try {
        sinkSlot().call(Progress{layer, step, done, total});
    } catch (...) {
    }
}

}  // namespace cv50::api
