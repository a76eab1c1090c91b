// Progress of the upgrade flows, per device: the step it is in and, for the steps that
// move data, bytes done of the total. One process-wide sink receives every report; the
// command line and the programs install theirs, the library itself only reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/callback_slot.h"

namespace cv50::api {

enum class ProgressStep {
    Switch,        // a disk switched to CorvUsb
    Upgrade,       // the upgrade of one device begins
    DownloadBoot,  // boot programs to a mask-ROM device
    TestDevice,    // waiting for the loader to answer ready
    WriteIdBlock,
    Reset,
    WaitLoader,
    DownloadImage,  // bytes: image bytes written and checked, of twice the image size
    SetResetFlag,
    WaitDisk,
    Format,
    CopyData,
    Done,    // the device's part of the call ended well
    Failed,  // ... or not
};

// A short English name of the step ("download image").
const char* progressStepName(ProgressStep step);

struct Progress {
    std::string layer;  // the port of the device
    ProgressStep step = ProgressStep::Upgrade;
    std::uint64_t done = 0;   // bytes, where the step moves any
    std::uint64_t total = 0;  // 0: the step has no byte count
};

using ProgressSink = std::function<void(const Progress&)>;

// Installs `sink` for the whole process (an empty one drops reports) and returns the
// previous one. Reports arrive one at a time, from whichever thread works on the device;
// a sink must not install another sink.
ProgressSink SetProgressSink(ProgressSink sink);

// Hands one report to the sink.
void ReportProgress(const std::string& layer, ProgressStep step, std::uint64_t done = 0,
                    std::uint64_t total = 0);

// Installs a sink for its lifetime and puts the previous one back.
using ScopedProgressSink = base::ScopedCallback<ProgressSink, &SetProgressSink>;

}  // namespace cv50::api
