// The firmware's look at its system disk.
#include "sim/system_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "base/byte_order.h"
#include "fwpkg/fat_reader.h"
#include "fwpkg/package_loader.h"
#include "fwpkg/sector_device_io.h"

namespace cv50::sim {
namespace {

using fwpkg::kSectorBytes;

constexpr std::size_t kTagAt = 500;
constexpr char kTag[] = "TOOLVER";
constexpr std::size_t kCrcAt = 408;
constexpr std::size_t kVersionAt = 112;

// MSB-first CRC-32 with the generator 0x04C10DB7, initial value 0, no final XOR.
std::uint32_t tailCrc(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0;
    for (std::uint8_t b : bytes) {
        crc ^= std::uint32_t{b} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C10DB7u : crc << 1;
    }
    return crc;
}

bool soundTailBlock(std::span<const std::uint8_t> block) {
    return std::memcmp(block.data() + kTagAt, kTag, sizeof kTag - 1) == 0 &&
           base::loadLe32(block, kCrcAt) == tailCrc(block.first(kCrcAt));
}

}  // namespace

std::optional<SystemImage> findSystemImage(fwpkg::SectorDevice& systemDisk) {
    fwpkg::SectorDeviceSource source(systemDisk);
    std::unique_ptr<fwpkg::FatVolume> volume;
    if (fwpkg::FatVolume::open(source, volume) != fwpkg::FatError::Ok) return std::nullopt;
    if (fwpkg::findLoaderPath(*volume).empty()) return std::nullopt;

    SystemImage image;
    const fwpkg::FatGeometry& g = volume->geometry();
    const std::uint64_t volumeBytes = g.totalSectors * g.bytesPerSector;
    std::array<std::uint8_t, kSectorBytes> block{};
    for (std::uint64_t s = (volumeBytes + kSectorBytes - 1) / kSectorBytes;
         s < systemDisk.sectorCount(); ++s) {
        if (!systemDisk.read(s, block)) break;
        if (!soundTailBlock(block)) continue;
        image.systemVersion = base::loadLe32(block, kVersionAt);
        break;
    }
    return image;
}

}  // namespace cv50::sim
