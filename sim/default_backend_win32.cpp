// On Windows the real backend, unless CV50_SIM names a simulated world.
#include "engine/os/win32/win32_os.h"
#include "sim/default_backend.h"
#include "sim/sim_os.h"

namespace cv50::sim {

std::unique_ptr<os::Os> makeDefaultBackend() {
    const std::string scenario = scenarioFromEnvironment();
    if (scenario.empty()) return os::makeWin32Os();
    return makeProcessSimulator(scenario);
}

}  // namespace cv50::sim
