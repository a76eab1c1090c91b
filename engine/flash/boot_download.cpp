// Mask-ROM boot download.
#include "engine/flash/boot_download.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "engine/device/log.h"
#include "engine/flash/crc16.h"

namespace cv50::flash {
namespace {

// Reads `size` bytes at `offset`, opening and closing the file around the read.
bool readPiece(const std::string& path, std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    os::UniqueFile f(os::current().openFile(path, "rb"));
    if (!f) {
        Log("ERROR:open file failed,Path(%s),ErrCode(%d)", path.c_str(),
            static_cast<int>(os::current().lastError()));
        return false;
    }
    return std::fseek(f.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(out, 1, size, f.get()) == size;
}

// The CRC of the whole file, read in packet-sized pieces.
std::optional<std::uint16_t> fileChecksum(const std::string& path, std::uint64_t size) {
    std::uint8_t piece[kPacketSize];
    std::uint16_t crc = kCrc16Initial;
    for (std::uint64_t at = 0; at < size; at += kPacketSize) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPacketSize, size - at));
        if (!readPiece(path, at, n, piece)) return std::nullopt;
        crc = Crc16CcittFalse(std::span(piece, n), crc);
    }
    return crc;
}

}  // namespace

bool BootDownload::OpenDevice(int mode) {
    CloseDevice();
    if (devicePath_.empty()) return false;
    std::string path = devicePath_;
    if (mode == 1) path += "\\PIPE00";
    if (mode == 0) path += "\\PIPE01";
    os::Os& sys = os::current();
    for (int attempt = 0; attempt < 5; ++attempt) {
        handle_ = os::UniqueHandle(sys.openReadWrite(path));
        if (handle_) return true;
        sys.sleepMs(20);
    }
    return false;
}

int BootDownload::SendFile(std::uint32_t requestCode, const std::string& path, std::uint64_t& total) {
    os::Os& sys = os::current();
    total = 0;
    const auto size = sys.fileSize(path);
    if (!size) {
        Log("ERROR:get file size failed,Name(%s),ErrCode(%d)", path.c_str(),
            static_cast<int>(sys.lastError()));
        return 0;
    }
    if (requestCode != kRequestDataFile && requestCode != kRequestProgFile) {
        Log("ERROR:Request is not legal");
        return 0;
    }
    const auto crc = fileChecksum(path, *size);
    if (!crc) return 0;

    // One spare byte for the checksum's low byte when the tail fills a whole packet.
    std::vector<std::uint8_t> buffer(kPacketSize + 1, 0);
    auto send = [&](std::size_t n, std::uint32_t& returned) {
        sys.sleepMs(50);
        returned = 0;
        return sys.deviceIoControl(handle_.get(), requestCode, buffer.data(), n, nullptr, 0,
                                   &returned, kPacketBoundMs);
    };

    std::uint64_t offset = 0;
    for (std::uint64_t packet = 0; packet < *size / kPacketSize; ++packet) {
        if (!readPiece(path, offset, kPacketSize, buffer.data())) return 0;
        offset += kPacketSize;
        std::uint32_t returned = 0;
        if (!send(kPacketSize, returned)) {
            Log("ERROR: DeviceIoControl failed bRet: %d  dwReturnByte: %d   nSendSize: %d  uiReturn: %d",
                0, static_cast<int>(returned), static_cast<int>(kPacketSize), static_cast<int>(total));
            return 0;
        }
        total += returned;
    }

    const std::size_t r = static_cast<std::size_t>(*size % kPacketSize);
    std::fill(buffer.begin(), buffer.end(), 0);
    if (r > 0 && !readPiece(path, offset, r, buffer.data())) return 0;
    buffer[r] = static_cast<std::uint8_t>(*crc >> 8);
    buffer[r + 1] = static_cast<std::uint8_t>(*crc & 0xFF);
    const std::size_t tail = std::min(r + 2, kPacketSize);
    std::uint32_t returned = 0;
    if (!send(tail, returned)) {
        Log("ERROR:DeviceIoControl failed  bRet: %d  dwReturnByte: %d   nSendSize: %d  uiReturn: %d", 0,
            static_cast<int>(returned), static_cast<int>(tail), static_cast<int>(total));
        return 0;
    }
    total += returned;

    if (r == kPacketSize - 2) {
        // The tail filled a packet exactly: an empty packet tells the file is over.
        if (!send(0, returned)) {
            Log("ERROR:last packet failed");
            return 0;
        }
    } else if (r == kPacketSize - 1) {
        // The checksum's low byte did not fit the tail packet.
        buffer[0] = buffer[kPacketSize];
        if (!send(1, returned)) {
            Log("ERROR:last 1B packet failed");
            return 0;
        }
        total += returned;
    }
    return 1;
}

std::uint64_t BootDownload::DownloadOneFile(std::uint32_t requestCode, const std::string& path) {
    if (!OpenDevice(2)) {
        Log("ERROR:open device failed,Path(%s)", devicePath_.c_str());
        return 0;
    }
    std::uint64_t total = 0;
    const int ok = SendFile(requestCode, path, total);
    CloseDevice();
    return ok ? total : 0;
}

int BootDownload::DownloadBoot(const std::string& dataPath, const std::string& progPath,
                               const std::string& prog2ndPath) {
    struct Step {
        std::uint32_t code;
        const std::string& path;
        const char* ok;
        const char* failed;
        const char* sizes;
    };
    const Step steps[] = {
        {kRequestDataFile, dataPath, "INFO:Download Data.bin OK", "ERROR:Download Data.bin failed!",
         "ERROR:Transfered(%d),size(%d)\r\n"},
        {kRequestProgFile, progPath, "INFO:Download Prog.bin OK", "ERROR:Download Prog.bin failed",
         "ERROR:Transfered(%d),size(%d)"},
        {kRequestProgFile, prog2ndPath, "INFO:Download Prog2nd.bin OK",
         "ERROR:Download Prog2nd.bin failed", "ERROR:Transfered(%d),size(%d)"},
    };
    os::Os& sys = os::current();
    for (std::size_t i = 0; i < 3; ++i) {
        const Step& s = steps[i];
        const std::uint64_t expected = sys.fileSize(s.path).value_or(0) + 2;
        const std::uint64_t total = DownloadOneFile(s.code, s.path);
        if (total != expected) {
            Log("%s", s.failed);
            Log(s.sizes, static_cast<int>(total), static_cast<int>(expected));
            return 0;
        }
        Log("%s", s.ok);
        if (i < 2) sys.sleepMs(200);
    }
    return 1;
}

}  // namespace cv50::flash
