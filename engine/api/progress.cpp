#include "engine/api/progress.h"

#include "base/callback_slot.h"

namespace cv50::api {
namespace {

base::CallbackSlot<ProgressSink>& sinkSlot() {
    static base::CallbackSlot<ProgressSink> slot;
    return slot;
}

}  // namespace

const char* progressStepName(ProgressStep step) {
    switch (step) {
        case ProgressStep::Switch:
            return "switch to loader";
        case ProgressStep::Upgrade:
            return "upgrade";
        case ProgressStep::DownloadBoot:
            return "download boot";
        case ProgressStep::TestDevice:
            return "test device";
        case ProgressStep::WriteIdBlock:
            return "write ID Block";
        case ProgressStep::Reset:
            return "reset";
        case ProgressStep::WaitLoader:
            return "wait for loader";
        case ProgressStep::DownloadImage:
            return "download image";
        case ProgressStep::SetResetFlag:
            return "set reset flag";
        case ProgressStep::WaitDisk:
            return "wait for disk";
        case ProgressStep::Format:
            return "format";
        case ProgressStep::CopyData:
            return "copy data";
        case ProgressStep::Done:
            return "done";
        case ProgressStep::Failed:
            return "failed";
    }
    return "?";
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
