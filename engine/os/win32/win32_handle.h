// The os seam's handles are the system's handles (a HANDLE is a void*), carried as numbers.
#pragma once

#include <cstdint>

#include "engine/os/os.h"

namespace cv50::os::win32 {

inline void* toWin(Handle h) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(h)); }
inline Handle fromWin(void* h) { return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(h)); }

}  // namespace cv50::os::win32
