// Bringing a mask-ROM device up: the three boot programs sent over the driver's control
// interface, in packets of at most 4096 bytes with a CRC-16 tail.
#pragma once

#include <cstdint>
#include <string>

#include "engine/os/os.h"

namespace cv50::flash {

inline constexpr std::uint32_t kRequestDataFile = 0x8000A000;  // data.bin
inline constexpr std::uint32_t kRequestProgFile = 0x8000A004;  // prog.bin and prog2nd.bin
inline constexpr std::size_t kPacketSize = 4096;
// One packet takes milliseconds; a mask ROM that has not taken it in 5 s is not answering.
inline constexpr std::uint32_t kPacketBoundMs = 5000;

// The device side of the download: the device path and the one handle it uses.
class BootDownload {
public:
    explicit BootDownload(std::string devicePath = {}) : devicePath_(std::move(devicePath)) {}

    // Mode 2: the device path itself, read/write; mode 1: "\PIPE00"; mode 0: "\PIPE01".
    // Up to 5 attempts, 20 ms apart; a handle left open is closed first.
    [[nodiscard]] bool OpenDevice(int mode);
    void CloseDevice() { handle_.reset(); }

    // Sends one file in packets; `total` is the sum of the bytes the driver reports taken.
    [[nodiscard]] int SendFile(std::uint32_t requestCode, const std::string& path,
                               std::uint64_t& total);
    // Opens the device, sends the file, closes; returns the total taken (0 on failure).
    std::uint64_t DownloadOneFile(std::uint32_t requestCode, const std::string& path);
    // data.bin, prog.bin, prog2nd.bin; 1 when all three went through whole.
    [[nodiscard]] int DownloadBoot(const std::string& dataPath, const std::string& progPath,
                                   const std::string& prog2ndPath);

    const std::string& devicePath() const { return devicePath_; }
    void setDevicePath(std::string path) { devicePath_ = std::move(path); }

private:
    std::string devicePath_;
    os::UniqueHandle handle_;
};

}  // namespace cv50::flash
