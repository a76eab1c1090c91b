// FAT32 format of a whole sector device.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/byte_order.h"
#include "fwpkg/fat_editor.h"

namespace cv50::fwpkg {
namespace {

constexpr std::uint32_t kReservedSectors = 32;
constexpr std::uint32_t kFatCount = 2;
constexpr std::uint32_t kRootCluster = 2;
constexpr std::uint32_t kFsInfoSector = 1;
constexpr std::uint32_t kBackupBootSector = 6;
// Fewer clusters than this make a volume FAT16 to every reader; more do not fit 28 bits.
constexpr std::uint64_t kMinClusters = 65525;
constexpr std::uint64_t kMaxClusters = 0x0FFFFFF4;
constexpr std::uint32_t kMaxClusterBytes = 32768;
constexpr std::uint32_t kEndOfChain = 0x0FFFFFFF;

struct Layout {
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t fatSectors = 0;
    std::uint32_t clusterCount = 0;
    std::uint32_t totalSectors = 0;
    std::uint64_t dataStart() const {
        return kReservedSectors + std::uint64_t(kFatCount) * fatSectors;
    }
};

bool unnamed(const ShortName& label) {
    return std::all_of(label.begin(), label.end(), [](std::uint8_t c) { return c == ' '; });
}

// The FAT must cover the clusters that remain beside it: grow it until it does.
std::optional<Layout> layoutFor(std::uint32_t totalSectors, std::uint32_t clusterBytes) {
    Layout l;
    l.totalSectors = totalSectors;
    l.sectorsPerCluster = clusterBytes / kSectorBytes;
    std::uint64_t fat = 1;
    std::uint64_t clusters = 0;
    for (;;) {
        const std::uint64_t overhead = kReservedSectors + kFatCount * fat;
        if (overhead >= totalSectors) return std::nullopt;
        clusters = (totalSectors - overhead) / l.sectorsPerCluster;
        const std::uint64_t needed = ((clusters + 2) * 4 + kSectorBytes - 1) / kSectorBytes;
        if (needed <= fat) break;
        fat = needed;
    }
    if (clusters < kMinClusters || clusters > kMaxClusters) return std::nullopt;
    l.fatSectors = static_cast<std::uint32_t>(fat);
    l.clusterCount = static_cast<std::uint32_t>(clusters);
    return l;
}

std::vector<std::uint8_t> bootSector(const Layout& l, const Fat32FormatOptions& options,
                                     const ShortName& label) {
    std::vector<std::uint8_t> b(kSectorBytes, 0);
    b[0] = 0xEB;
    b[1] = 0x58;
    b[2] = 0x90;
    std::memcpy(&b[3], "CV50FMT ", 8);
    base::storeLe16(b, 11, kSectorBytes);
    b[13] = static_cast<std::uint8_t>(l.sectorsPerCluster);
    base::storeLe16(b, 14, kReservedSectors);
    b[16] = kFatCount;
    b[21] = 0xF8;  // fixed media
    base::storeLe16(b, 24, 63);
    base::storeLe16(b, 26, 255);
    base::storeLe32(b, 32, l.totalSectors);
    base::storeLe32(b, 36, l.fatSectors);
    base::storeLe32(b, 44, kRootCluster);
    base::storeLe16(b, 48, kFsInfoSector);
    base::storeLe16(b, 50, kBackupBootSector);
    b[64] = 0x80;
    b[66] = 0x29;
    base::storeLe32(b, 67, options.volumeId);
    std::memcpy(&b[71],
                unnamed(label) ? "NO NAME    " : reinterpret_cast<const char*>(label.data()), 11);
    std::memcpy(&b[82], "FAT32   ", 8);
    b[510] = 0x55;
    b[511] = 0xAA;
    return b;
}

std::vector<std::uint8_t> fsInfoSector(const Layout& l) {
    std::vector<std::uint8_t> s(kSectorBytes, 0);
    base::storeLe32(s, 0, 0x41615252);
    base::storeLe32(s, 484, 0x61417272);
    base::storeLe32(s, 488, l.clusterCount - 1);  // the root folder holds one
    base::storeLe32(s, 492, kRootCluster + 1);
    base::storeLe32(s, 508, 0xAA550000);
    return s;
}

bool writeZeros(SectorDevice& device, std::uint64_t first, std::uint64_t count) {
    static const std::vector<std::uint8_t> zeros(128 * kSectorBytes, 0);
    while (count > 0) {
        const std::uint64_t n = std::min<std::uint64_t>(count, zeros.size() / kSectorBytes);
        if (!device.write(first, std::span(zeros.data(), n * kSectorBytes))) return false;
        first += n;
        count -= n;
    }
    return true;
}

}  // namespace

std::uint32_t defaultFat32ClusterBytes(std::uint64_t sectors) {
    constexpr std::uint64_t kMiB = 1024 * 1024 / kSectorBytes;
    if (sectors <= 64 * kMiB) return 512;
    if (sectors <= 128 * kMiB) return 1024;
    if (sectors <= 256 * kMiB) return 2048;
    if (sectors <= 8192 * kMiB) return 4096;
    if (sectors <= 16384 * kMiB) return 8192;
    if (sectors <= 32768 * kMiB) return 16384;
    return 32768;
}

FatResult formatFat32(SectorDevice& device, const Fat32FormatOptions& options) {
    ShortName label;
    try {
        label = volumeLabelName(options.label);
    } catch (const std::exception& e) {
        return FatResult::failed(e.what());
    }
    const std::uint64_t sectors = device.sectorCount();
    if (sectors > 0xFFFFFFFFu)
        return FatResult::failed("the device is larger than a FAT32 volume can be");
    const std::uint32_t wanted = options.clusterBytes;
    if (wanted != 0 &&
        (wanted < kSectorBytes || wanted > kMaxClusterBytes || (wanted & (wanted - 1))))
        return FatResult::failed("the cluster size must be a power of two from 512 to 32768");

    // A volume near the bottom of a size class may need smaller clusters to stay FAT32.
    std::optional<Layout> layout;
    for (std::uint32_t c = wanted != 0 ? wanted : defaultFat32ClusterBytes(sectors);
         !layout && c >= kSectorBytes && (wanted == 0 || c == wanted); c /= 2)
        layout = layoutFor(static_cast<std::uint32_t>(sectors), c);
    if (!layout)
        return FatResult::failed("the device (" + std::to_string(sectors / 2048) +
                                 " MiB) is too small for FAT32" +
                                 (wanted != 0 ? " with this cluster size" : ""));
    const Layout& l = *layout;

    // The boot sector comes last: a format that breaks off leaves no volume that looks whole.
    const std::uint32_t clusterBytes = l.sectorsPerCluster * kSectorBytes;
    const std::uint64_t rootSector = l.dataStart();
    std::vector<std::uint8_t> fatHead(kSectorBytes, 0);
    base::storeLe32(fatHead, 0, 0x0FFFFFF8);
    base::storeLe32(fatHead, 4, kEndOfChain);
    base::storeLe32(fatHead, 8, kEndOfChain);  // the root folder
    std::vector<std::uint8_t> root(clusterBytes, 0);
    if (!unnamed(label)) {
        const auto entry = shortNameEntry(label, 0x08, 0, 0, 32, options.stamp);
        std::copy(entry.begin(), entry.end(), root.begin());
    }
    const std::vector<std::uint8_t> boot = bootSector(l, options, label);
    const std::vector<std::uint8_t> info = fsInfoSector(l);
    bool ok = writeZeros(device, 0, l.dataStart()) && device.write(rootSector, root);
    for (std::uint32_t i = 0; ok && i < kFatCount; ++i)
        ok = device.write(kReservedSectors + std::uint64_t(i) * l.fatSectors, fatHead);
    ok = ok && device.write(kFsInfoSector, info) &&
         device.write(kBackupBootSector + kFsInfoSector, info) &&
         device.write(kBackupBootSector, boot) && device.write(0, boot);
    if (!ok) return FatResult::failed("writing the device failed");
    return {};
}

}  // namespace cv50::fwpkg
