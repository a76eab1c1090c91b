// On Windows the real backend, unless CV50_SIM names a simulated world; real message boxes.
#include "engine/os/win32/win32_os.h"
#include "engine/os/win32/win32_user.h"
#include "sim/host_services.h"
#include "sim/sim_os.h"

namespace cv50::sim {

std::unique_ptr<os::Os> makeDefaultBackend() {
    const std::string scenario = scenarioFromEnvironment();
    if (scenario.empty()) return os::makeWin32Os();
    return makeProcessSimulator(scenario);
}

os::MessageAnswer answerOnHost(const std::string& text, const std::string& caption,
                               os::MessageButtons buttons, os::MessageIcon icon) {
    return os::win32::showMessageBox(text, caption, buttons, icon);
}

bool keepStateOnAThread() { return false; }

}  // namespace cv50::sim
