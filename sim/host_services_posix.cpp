// Without Windows there is no real USB to talk to and nobody to answer a box.
#include "sim/host_services.h"
#include "sim/sim_os.h"

namespace cv50::sim {

std::unique_ptr<os::Os> makeDefaultBackend() {
    return makeProcessSimulator(scenarioFromEnvironment());
}

os::MessageAnswer answerOnHost(const std::string&, const std::string&, os::MessageButtons buttons,
                               os::MessageIcon) {
    switch (buttons) {
        case os::MessageButtons::Ok:
            return os::MessageAnswer::Ok;
        case os::MessageButtons::OkCancel:
            return os::MessageAnswer::Cancel;
        case os::MessageButtons::YesNo:
            return os::MessageAnswer::No;
    }
    return os::MessageAnswer::Cancel;
}

bool keepStateOnAThread() { return true; }

}  // namespace cv50::sim
