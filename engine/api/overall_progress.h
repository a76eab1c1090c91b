// One percentage for a device's whole upgrade (switch, boot, ID Block, image write and check,
// format, copy), built from the step reports of every call on its road. Each step owns a span
// of the hundred, weighted by how long it usually takes; a step with a byte count moves
// through its span.
#pragma once

#include <string>
#include <vector>

#include "engine/api/progress.h"

namespace cv50::api {

struct StepSpan {
    unsigned from = 0;  // percent at the step's start
    unsigned to = 0;    // ... and at its end
};

// The step's share of a whole upgrade. Done and Failed own none: a call's "done" may be
// only its part of the road, and a failure ends where the device stood.
StepSpan stepSpan(ProgressStep step);

// Per device (by Layer): the overall percentage, which never goes back. 100 is the end of
// `lastStep`, the step a road ends with (a road may stop at the disk or after its format).
class OverallProgress {
public:
    explicit OverallProgress(ProgressStep lastStep = ProgressStep::CopyData)
        : end_(stepSpan(lastStep).to) {}
    // The device's percentage after `report`.
    unsigned update(const Progress& report);

private:
    struct Device {
        std::string layer;
        ProgressStep last = ProgressStep::Upgrade;
        unsigned percent = 0;
    };
    unsigned end_;
    std::vector<Device> devices_;
};

}  // namespace cv50::api
