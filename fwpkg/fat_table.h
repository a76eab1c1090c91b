// The allocation table of a FAT32 volume, held in memory while the volume is edited:
// allocating and freeing clusters, and writing the changed sectors back to every copy of
// the table and the free count to the FSInfo sector.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fwpkg/fat_editor.h"

namespace cv50::fwpkg {

class FatTable {
public:
    // Reads the active table of the volume that `bootSector` (its first 512 bytes) describes.
    static FatResult load(SectorDevice& device, const FatGeometry& geometry,
                          std::span<const std::uint8_t> bootSector, std::unique_ptr<FatTable>& out);

    std::uint32_t freeCount() const { return free_; }
    // The cluster after `cluster` in its chain; 0 at the end of the chain or on a link that
    // leads nowhere on this volume.
    std::uint32_t next(std::uint32_t cluster) const;
    // A free cluster, made the end of a chain and linked after `previous` (0: a new chain);
    // nothing when the volume is full.
    std::optional<std::uint32_t> allocate(std::uint32_t previous);
    // Frees the chain that starts at `first`, as far as it runs through clusters in use.
    void freeChain(std::uint32_t first);
    // Writes what changed since the last flush.
    FatResult flush();

private:
    FatTable(SectorDevice& device, const FatGeometry& geometry) : device_(device), g_(geometry) {}
    std::uint32_t value(std::uint32_t cluster) const { return entries_[cluster] & 0x0FFFFFFF; }
    void set(std::uint32_t cluster, std::uint32_t value);
    FatResult writeFsInfo();

    SectorDevice& device_;
    const FatGeometry g_;
    std::vector<std::uint32_t> entries_;  // whole sectors of the table, high bits kept as read
    std::vector<bool> dirty_;             // per sector of the table
    std::vector<std::uint32_t> copies_;   // the tables written: all, or the active one
    std::uint32_t fsInfoSector_ = 0;      // 0: none
    std::uint32_t free_ = 0;
    std::uint32_t hint_ = 2;
};

}  // namespace cv50::fwpkg
