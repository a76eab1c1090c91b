// The calling thread's last error in the simulator, set by every failing call as the system
// would set it (engine/os/error_codes.h), so the engine logs the same codes on both backends.
#pragma once

#include <cstdint>

namespace cv50::sim {

void setLastError(std::uint32_t code);
std::uint32_t lastErrorOfThread();

// Records `code` as the thread's last error and returns `failure`.
template <typename T>
T failWith(std::uint32_t code, T failure) {
    setLastError(code);
    return failure;
}

}  // namespace cv50::sim
