#include "engine/flash/device_steps.h"

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/boot_download.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

const char* textOf(const StepTexts& t, StepEvent event) {
    switch (event) {
        case StepEvent::BootStart:
            return t.bootStart;
        case StepEvent::BootFailed:
            return t.bootFailed;
        case StepEvent::BootDone:
            return t.bootDone;
        case StepEvent::TestStart:
            return t.testStart;
        case StepEvent::TestAttemptFailed:
            return t.testAttemptFailed;
        case StepEvent::TestFailed:
            return t.testFailed;
        case StepEvent::TestDone:
            return t.testDone;
    }
    return nullptr;
}

void tell(const StepReport& report, StepEvent event, int code = 0) {
    if (report) report(event, code);
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
StepReport LogSteps(const StepTexts& texts, std::string layer) {
    return [texts, layer = std::move(layer)](StepEvent event, int code) {
        const char* text = textOf(texts, event);
        if (text == nullptr) return;
        // The texts are the program's own constants, each with the arguments said above.
        if (layer.empty())
            Log(text, code);
        else
            Log(text, layer.c_str(), code);
    };
}
#pragma GCC diagnostic pop

bool DownloadBootStep(const std::string& devicePath, const PiecePaths& pieces,
                      const StepReport& report, std::uint32_t settleMs, std::mutex* lock) {
    tell(report, StepEvent::BootStart);
    int downloaded = 0;
    {
        std::unique_lock<std::mutex> guard;
        if (lock != nullptr) guard = std::unique_lock(*lock);
        BootDownload boot(devicePath);
        downloaded = boot.DownloadBoot(pieces.data, pieces.prog, pieces.prog2nd);
    }
    if (!downloaded) {
        tell(report, StepEvent::BootFailed);
        return false;
    }
    tell(report, StepEvent::BootDone);
    os::current().sleepMs(settleMs);
    return true;
}

bool TestReadyStep(const std::string& devicePath, const StepReport& report, TestTiming timing) {
    tell(report, StepEvent::TestStart);
    os::Os& sys = os::current();
    for (int attempt = 0; attempt < timing.attempts; ++attempt) {
        const int r = CVU_TestUnitReady(devicePath.c_str(), nullptr, nullptr);
        if (r == 0) {
            tell(report, StepEvent::TestDone);
            return true;
        }
        tell(report, StepEvent::TestAttemptFailed, r);
        sys.sleepMs(timing.retryMs);
    }
    tell(report, StepEvent::TestFailed);
    return false;
}

bool TestUntilReady(const std::string& devicePath, const ReadyWatch& watch, TestTiming timing) {
    os::Os& sys = os::current();
    int failures = 0;
    while (!watch.stop || !watch.stop()) {
        unsigned total = 0, current = 0;
        const int r = CVU_TestUnitReady(devicePath.c_str(), &total, &current);
        if (r == 0) return true;
        if (r == CVU_BUSY) {
            failures = 0;
            if (watch.busy) watch.busy(total, current);
        } else {
            if (watch.failed) watch.failed(r);
            if (++failures >= timing.attempts) return false;
        }
        sys.sleepMs(timing.retryMs);
    }
    return false;
}

}  // namespace cv50::flash
