// A sector device read as bytes, and saved whole to a file.
#include "fwpkg/sector_device_io.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace cv50::fwpkg {

bool SectorDeviceSource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > size() || out.size() > size() - offset) return false;
    constexpr std::uint64_t kChunkSectors = 64;
    std::vector<std::uint8_t> buffer;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = offset + done;
        const std::uint64_t first = at / kSectorBytes;
        const std::size_t skip = static_cast<std::size_t>(at % kSectorBytes);
        const std::uint64_t sectors = std::min<std::uint64_t>(
            kChunkSectors, (skip + out.size() - done + kSectorBytes - 1) / kSectorBytes);
        buffer.resize(static_cast<std::size_t>(sectors) * kSectorBytes);
        if (!device_.read(first, buffer)) return false;
        const std::size_t n = std::min(buffer.size() - skip, out.size() - done);
        std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(skip), n,
                    out.begin() + static_cast<std::ptrdiff_t>(done));
        done += n;
    }
    return true;
}

bool saveDeviceImage(SectorDevice& device, const std::string& hostPath, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(hostPath.c_str(), "wb"),
                                                        &std::fclose);
    if (!out) {
        error = "cannot create " + hostPath;
        return false;
    }
    constexpr std::uint64_t kChunkSectors = 256;
    std::vector<std::uint8_t> buffer;
    const std::uint64_t total = device.sectorCount();
    for (std::uint64_t first = 0; first < total; first += kChunkSectors) {
        buffer.resize(static_cast<std::size_t>(std::min(kChunkSectors, total - first)) *
                      kSectorBytes);
        if (!device.read(first, buffer)) {
            error = "cannot read sector " + std::to_string(first) + " of the device";
            return false;
        }
        if (std::fwrite(buffer.data(), 1, buffer.size(), out.get()) != buffer.size()) {
            error = "cannot write " + hostPath;
            return false;
        }
    }
    if (std::fclose(out.release()) != 0) {
        error = "cannot write " + hostPath;
        return false;
    }
    return true;
}

}  // namespace cv50::fwpkg
