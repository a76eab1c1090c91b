// A FAT32 volume formatted on a device in memory, for the editor's tests, and the
// readers that look at it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "fwpkg/fat_editor.h"
#include "fwpkg/memory_sector_device.h"
#include "fwpkg/sector_device_io.h"
#include "fwpkg/tests/fat_test_support.h"

namespace cv50::fwpkg::testing {

inline constexpr std::uint64_t kMiB = 2048;  // sectors

// Bytes handed out in pieces of `piece`, failing after `failAfter` bytes when it is set.
inline FatEditor::ReadBytes bytesOf(const std::vector<std::uint8_t>& bytes, std::size_t piece = 700,
                                    std::optional<std::size_t> failAfter = std::nullopt) {
    auto at = std::make_shared<std::size_t>(0);
    return
        [&bytes, piece, failAfter, at](std::span<std::uint8_t> out) -> std::optional<std::size_t> {
            if (failAfter && *at >= *failAfter) return std::nullopt;
            const std::size_t n = std::min({out.size(), piece, bytes.size() - *at});
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(*at), n, out.begin());
            *at += n;
            return n;
        };
}

struct Volume {
    explicit Volume(std::uint64_t sectors, const std::string& label = "CV50 DISK")
        : device(sectors) {
        Fat32FormatOptions options;
        options.label = label;
        const FatResult r = formatFat32(device, options);
        EXPECT_TRUE(r.ok) << r.message;
    }
    std::unique_ptr<FatEditor> editor() {
        std::unique_ptr<FatEditor> e;
        const FatResult r = FatEditor::open(device, e);
        EXPECT_TRUE(r.ok) << r.message;
        return e;
    }
    // What the reader finds at `path`: the file's bytes, or nothing.
    std::optional<std::vector<std::uint8_t>> content(const std::string& path) {
        SectorDeviceSource source(device);
        std::unique_ptr<FatVolume> volume;
        if (FatVolume::open(source, volume) != FatError::Ok) return std::nullopt;
        FatEntry entry;
        std::vector<std::uint8_t> bytes;
        if (volume->find(path, entry) != FatError::Ok || entry.directory ||
            readAll(*volume, entry, bytes) != FatError::Ok)
            return std::nullopt;
        return bytes;
    }
    std::vector<std::string> names(const std::string& folderPath) {
        SectorDeviceSource source(device);
        std::unique_ptr<FatVolume> volume;
        EXPECT_EQ(FatVolume::open(source, volume), FatError::Ok);
        FatEntry dir = volume->root();
        if (!folderPath.empty()) {
            EXPECT_EQ(volume->find(folderPath, dir), FatError::Ok);
        }
        std::vector<FatEntry> entries;
        EXPECT_EQ(volume->list(dir, entries), FatError::Ok);
        std::vector<std::string> out;
        for (const FatEntry& e : entries) out.push_back(e.name);
        return out;
    }
    // The free count the FSInfo sector holds, and the one a count of the FAT gives.
    std::pair<std::uint32_t, std::uint32_t> freeCounts() {
        std::vector<std::uint8_t> info(kSectorBytes);
        EXPECT_TRUE(device.read(1, info));
        return {base::loadLe32(info, 488), editor()->freeClusters()};
    }
    MemorySectorDevice device;
};

}  // namespace cv50::fwpkg::testing
