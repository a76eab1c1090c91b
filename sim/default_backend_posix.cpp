// Without Windows there is no real USB to talk to: always the simulator.
#include "sim/default_backend.h"
#include "sim/sim_os.h"

namespace cv50::sim {

std::unique_ptr<os::Os> makeDefaultBackend() {
    return makeProcessSimulator(scenarioFromEnvironment());
}

}  // namespace cv50::sim
