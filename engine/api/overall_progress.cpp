#include "engine/api/overall_progress.h"

#include <algorithm>

namespace cv50::api {

StepSpan stepSpan(ProgressStep step) {
    // The image write and its check take most of an upgrade; the waits for a device to come
    // back and the format are seconds each.
    switch (step) {
        case ProgressStep::Switch:
            return {0, 4};
        case ProgressStep::Upgrade:
            return {4, 4};
        case ProgressStep::DownloadBoot:
            return {4, 8};
        case ProgressStep::TestDevice:
            return {8, 12};
        case ProgressStep::WriteIdBlock:
            return {12, 16};
        case ProgressStep::Reset:
            return {16, 17};
        case ProgressStep::WaitLoader:
            return {17, 20};
        case ProgressStep::DownloadImage:
            return {20, 80};
        case ProgressStep::SetResetFlag:
            return {80, 81};
        case ProgressStep::WaitDisk:
            return {81, 85};
        case ProgressStep::Format:
            return {85, 90};
        case ProgressStep::CopyData:
            return {90, 99};
        case ProgressStep::Done:
        case ProgressStep::Failed:
            break;
    }
    return {0, 0};
}

unsigned OverallProgress::update(const Progress& report) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const Device& d) { return d.layer == report.layer; });
    if (it == devices_.end()) it = devices_.insert(devices_.end(), Device{report.layer});
    Device& device = *it;
    const bool ends = report.step == ProgressStep::Done || report.step == ProgressStep::Failed;
    // The wait for the loader after a switch belongs to the switch, not to the later wait
    // after the ID Block's reset.
    const bool afterSwitch = report.step == ProgressStep::WaitLoader &&
                             device.last == ProgressStep::Switch;
    if (!ends && !afterSwitch) {
        const StepSpan span = stepSpan(report.step);
        unsigned percent = span.from;
        if (report.total > 0) {
            const std::uint64_t done = std::min(report.done, report.total);
            percent += static_cast<unsigned>(done * (span.to - span.from) / report.total);
        }
        if (end_ > 0) percent = std::min(100u, percent * 100 / end_);
        device.percent = std::max(device.percent, percent);
    }
    if (!afterSwitch) device.last = report.step;
    return device.percent;
}

}  // namespace cv50::api
