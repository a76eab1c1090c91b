// Choosing the os backend of this process.
#include <cstdlib>
#include <mutex>

#include "engine/os/os.h"
#include "sim/sim_os.h"
#ifdef _WIN32
#include "engine/os/win32/win32_os.h"
#endif

namespace cv50::os {
namespace {

std::mutex backendMutex;
std::unique_ptr<Os> backend;

std::unique_ptr<Os> makeDefaultBackend() {
    const char* scenario = std::getenv("CV50_SIM");
    const bool named = scenario != nullptr && *scenario != '\0';
#ifdef _WIN32
    if (!named) return makeWin32Os();
#endif
    return sim::makeProcessSimulator(named ? scenario : "");
}

}  // namespace

Os& current() {
    std::lock_guard lock(backendMutex);
    if (!backend) backend = makeDefaultBackend();
    return *backend;
}

std::unique_ptr<Os> install(std::unique_ptr<Os> replacement) {
    std::lock_guard lock(backendMutex);
    std::swap(backend, replacement);
    return replacement;
}

}  // namespace cv50::os
