// Windows only: the os seam's device transfers end within their bound. A named pipe stands in
// for a device that stays there but does not answer. Under Wine.
#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/os/error_codes.h"
#include "engine/os/win32/win32_os.h"

namespace cv50::os {
namespace {

// Waits for a client to connect to a pipe (the system's code; this compiler's headers lack it).
constexpr std::uint32_t kPipeListen = 0x110008;

// The device's side of a pipe the seam opens like a device's pipe: it takes nothing from the
// host and sends nothing unless told to.
class SilentDevice {
public:
    SilentDevice()
        : name_("\\\\.\\pipe\\cv50-silent-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(next_++)),
          server_(CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 2, kBuffer, kBuffer, 0, nullptr)) {}
    ~SilentDevice() {
        if (server_ != INVALID_HANDLE_VALUE) CloseHandle(server_);
    }
    const std::string& name() const { return name_; }
    HANDLE server() const { return server_; }
    Handle serverHandle() const {
        return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(server_));
    }
    bool send(const std::string& bytes) {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD done = 0;
        bool ok =
            WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &ov) ||
            GetLastError() == ERROR_IO_PENDING;
        ok = ok && GetOverlappedResult(server_, &ov, &done, TRUE) && done == bytes.size();
        CloseHandle(ov.hEvent);
        return ok;
    }

    static constexpr DWORD kBuffer = 4096;

private:
    static inline int next_ = 0;
    std::string name_;
    HANDLE server_;
};

// Milliseconds `call` took.
template <typename Call>
ULONGLONG timed(Call call) {
    const ULONGLONG start = GetTickCount64();
    call();
    return GetTickCount64() - start;
}

TEST(Win32DeviceIo, AReadFromADeviceThatSendsNothingEndsAtItsBound) {
    SilentDevice device;
    ASSERT_NE(device.server(), INVALID_HANDLE_VALUE);
    const auto sys = makeWin32Os();
    const Handle pipe = sys->openReadWrite(device.name());
    ASSERT_NE(pipe, 0u);

    char buffer[16] = {};
    long long got = 0;
    const ULONGLONG ms = timed([&] { got = sys->readHandle(pipe, buffer, sizeof buffer, 300); });
    EXPECT_EQ(got, -1);
    EXPECT_EQ(sys->lastError(), error::kSemTimeout);
    EXPECT_GE(ms, 250u);
    EXPECT_LT(ms, 5000u);  // it came back; no hang

    // The cancelled read took nothing: what the device sends next arrives whole.
    ASSERT_TRUE(device.send("status"));
    EXPECT_EQ(sys->readHandle(pipe, buffer, sizeof buffer, 300), 6);
    EXPECT_EQ(std::string(buffer, 6), "status");
    sys->closeHandle(pipe);
}

TEST(Win32DeviceIo, AWriteTheDeviceNeverTakesEndsAtItsBound) {
    SilentDevice device;
    ASSERT_NE(device.server(), INVALID_HANDLE_VALUE);
    const auto sys = makeWin32Os();
    const Handle pipe = sys->openReadWrite(device.name());
    ASSERT_NE(pipe, 0u);
    // Far more than the pipe buffers: the write waits for a reader that never comes.
    const std::string data(1 << 20, 'x');
    long long wrote = 0;
    const ULONGLONG ms =
        timed([&] { wrote = sys->writeHandle(pipe, data.data(), data.size(), 300); });
    EXPECT_EQ(wrote, -1);
    EXPECT_EQ(sys->lastError(), error::kSemTimeout);
    EXPECT_GE(ms, 250u);
    EXPECT_LT(ms, 5000u);
    // A small write the buffer can take still goes at once.
    const SilentDevice other;
    const Handle quick = sys->openReadWrite(other.name());
    ASSERT_NE(quick, 0u);
    EXPECT_EQ(sys->writeHandle(quick, "cmd", 3, 300), 3);
    sys->closeHandle(quick);
    sys->closeHandle(pipe);
}

TEST(Win32DeviceIo, AControlRequestThatNeverEndsIsCancelledAtItsBound) {
    // Waiting for a client to connect is a control request on the device's own handle that
    // ends only when one does.
    SilentDevice device;
    ASSERT_NE(device.server(), INVALID_HANDLE_VALUE);
    const auto sys = makeWin32Os();
    std::uint32_t returned = 7;
    bool ok = true;
    const ULONGLONG ms = timed([&] {
        ok = sys->deviceIoControl(device.serverHandle(), kPipeListen, nullptr, 0, nullptr, 0,
                                  &returned, 300);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(sys->lastError(), error::kSemTimeout);
    EXPECT_EQ(returned, 0u);
    EXPECT_GE(ms, 250u);
    EXPECT_LT(ms, 5000u);
}

TEST(Win32DeviceIo, AMissingDeviceFailsAtOnce) {
    const auto sys = makeWin32Os();
    EXPECT_EQ(sys->openReadWrite("\\\\.\\pipe\\cv50-no-such-device"), 0u);
}

}  // namespace
}  // namespace cv50::os
