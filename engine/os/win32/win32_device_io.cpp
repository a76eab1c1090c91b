// Bounded device I/O on Windows.
#include "engine/os/win32/win32_device_io.h"

#include <windows.h>

#include "engine/os/error_codes.h"
#include "engine/os/win32/win32_handle.h"

namespace cv50::os::win32 {
namespace {

// One overlapped request with its own event; `start` issues it.
template <typename Start>
bool runBounded(HANDLE h, std::uint32_t timeoutMs, DWORD& done, Start start) {
    done = 0;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr) return false;
    bool ok = start(&ov) != FALSE;
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ov.hEvent, timeoutMs) == WAIT_OBJECT_0) {
            ok = GetOverlappedResult(h, &ov, &done, FALSE) != FALSE;
        } else {
            // The buffer and the OVERLAPPED belong to the request until it has ended; one
            // that ended just before the cancel keeps its result.
            CancelIoEx(h, &ov);
            ok = GetOverlappedResult(h, &ov, &done, TRUE) != FALSE;
            if (!ok) {
                CloseHandle(ov.hEvent);
                SetLastError(error::kSemTimeout);
                return false;
            }
        }
    } else if (ok) {
        ok = GetOverlappedResult(h, &ov, &done, FALSE) != FALSE;
    }
    const DWORD lastError = GetLastError();
    CloseHandle(ov.hEvent);
    SetLastError(lastError);
    return ok;
}

}  // namespace

Handle openForBoundedIo(const std::string& path) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    return fromWin(h);
}

long long boundedWrite(Handle h, const void* data, std::size_t size, std::uint32_t timeoutMs) {
    if (size > MAXDWORD) return -1;
    DWORD done = 0;
    const bool ok = runBounded(toWin(h), timeoutMs, done, [&](OVERLAPPED* ov) {
        return WriteFile(toWin(h), data, static_cast<DWORD>(size), nullptr, ov);
    });
    return ok ? static_cast<long long>(done) : -1;
}

long long boundedRead(Handle h, void* data, std::size_t size, std::uint32_t timeoutMs) {
    if (size > MAXDWORD) return -1;
    DWORD done = 0;
    const bool ok = runBounded(toWin(h), timeoutMs, done, [&](OVERLAPPED* ov) {
        return ReadFile(toWin(h), data, static_cast<DWORD>(size), nullptr, ov);
    });
    return ok ? static_cast<long long>(done) : -1;
}

bool boundedIoControl(Handle h, std::uint32_t code, const void* in, std::size_t inSize, void* out,
                      std::size_t outSize, std::uint32_t* returned, std::uint32_t timeoutMs) {
    DWORD done = 0;
    const bool ok = inSize <= MAXDWORD && outSize <= MAXDWORD &&
                    runBounded(toWin(h), timeoutMs, done, [&](OVERLAPPED* ov) {
                        return DeviceIoControl(toWin(h), code, const_cast<void*>(in),
                                               static_cast<DWORD>(inSize), out,
                                               static_cast<DWORD>(outSize), nullptr, ov);
                    });
    if (returned) *returned = done;
    return ok;
}

}  // namespace cv50::os::win32
