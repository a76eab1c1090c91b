// Device and pipe I/O with a time bound (Windows only): every request is overlapped, and one
// that has not ended within its bound is cancelled, so a device that stays on the bus but
// stops answering cannot keep a thread waiting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/os/os.h"

namespace cv50::os::win32 {

// For read and write with sharing, opened for overlapped requests. 0 on failure.
Handle openForBoundedIo(const std::string& path);
// Bytes transferred, or -1 (the last error is the system's, or error::kSemTimeout when the
// bound ran out).
long long boundedWrite(Handle h, const void* data, std::size_t size, std::uint32_t timeoutMs);
long long boundedRead(Handle h, void* data, std::size_t size, std::uint32_t timeoutMs);
bool boundedIoControl(Handle h, std::uint32_t code, const void* in, std::size_t inSize, void* out,
                      std::size_t outSize, std::uint32_t* returned, std::uint32_t timeoutMs);

}  // namespace cv50::os::win32
