// The os backend of this process: chosen once, on first use, or installed by the caller.
// It lives in the simulator library, the one place that knows both backends.
#include <cstdlib>
#include <mutex>

#include "engine/os/os.h"
#include "sim/host_services.h"

namespace cv50::os {
namespace {

std::mutex backendMutex;
std::unique_ptr<Os> backend;

}  // namespace

Os& current() {
    std::lock_guard lock(backendMutex);
    if (!backend) backend = sim::makeDefaultBackend();
    return *backend;
}

std::unique_ptr<Os> install(std::unique_ptr<Os> replacement) {
    std::lock_guard lock(backendMutex);
    std::swap(backend, replacement);
    return replacement;
}

}  // namespace cv50::os

namespace cv50::sim {

std::string scenarioFromEnvironment() {
    const char* scenario = std::getenv("CV50_SIM");
    return scenario != nullptr ? scenario : "";
}

}  // namespace cv50::sim
