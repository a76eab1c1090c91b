// The backend a process gets when nobody installed one: one implementation per host.
#pragma once

#include <memory>
#include <string>

#include "engine/os/os.h"

namespace cv50::sim {

// On Windows the real one unless CV50_SIM names a scenario file; elsewhere always the
// simulator (CV50_SIM, or the built-in sample world).
std::unique_ptr<os::Os> makeDefaultBackend();

// The scenario file CV50_SIM names, or empty.
std::string scenarioFromEnvironment();

}  // namespace cv50::sim
