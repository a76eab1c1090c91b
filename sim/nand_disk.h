// The loader's logical disk on the NAND. The good blocks behind the reserved blocks hold it
// in order (chip 0 from the first free block the ID Block names, then every further chip),
// one logical sector in the data bytes of each raw sector: the system disk first, then the
// further disks the ID Block sizes, then the user disk (the rest). What is erased on the
// NAND is gone from the disk, and a sector that is not erased can only be rewritten by
// erasing its whole block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fwpkg/sector_device.h"
#include "sim/nand.h"

namespace cv50::sim {

// What the running loader took from the ID Block copy the boot ROM accepted.
struct DiskLayout {
    std::uint32_t firstBlock = 0;                // of chip 0: where the disks begin
    std::array<std::uint16_t, 4> diskSizesMB{};  // system disk, then up to three more
    std::uint16_t loaderVersion = 0;             // BCD: major in the high byte, minor in the low
    bool operator==(const DiskLayout&) const = default;
};

// A run of sectors of the logical disk.
struct DiskExtent {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// The NAND work an operation did, for the time it takes.
struct NandWork {
    std::uint64_t pagesRead = 0;
    std::uint64_t pagesProgrammed = 0;
    std::uint64_t blocksErased = 0;
};

class NandDisk {
public:
    // `nand` must outlive the disk.
    explicit NandDisk(Nand& nand) : nand_(nand) {}
    NandDisk(const NandDisk&) = delete;
    NandDisk& operator=(const NandDisk&) = delete;

    // Takes a layout (the blocks that are good now hold the disk), or drops it: without
    // one there is no disk.
    void setLayout(const std::optional<DiskLayout>& layout);
    const std::optional<DiskLayout>& layout() const { return layout_; }

    // All disks together; 0 without a layout.
    std::uint64_t sectors() const { return std::uint64_t{blocks_.size()} * blockSectors(); }
    DiskExtent systemDisk() const;
    DiskExtent userDisk() const;

    // Whole sectors from `first` on; false (nothing done) when they are not all on the disk.
    [[nodiscard]] bool read(std::uint64_t first, std::span<std::uint8_t> out, NandWork& work) const;
    [[nodiscard]] bool write(std::uint64_t first, std::span<const std::uint8_t> in, NandWork& work);
    // Erases every block that holds a sector of the system disk.
    void eraseSystemDisk(NandWork& work);

    // The layout in a state file of its own; a file without one drops it.
    [[nodiscard]] bool saveLayout(const std::string& path, std::string& error) const;
    [[nodiscard]] bool loadLayout(const std::string& path, std::string& error);

private:
    std::uint32_t blockSectors() const { return nand_.spec().blockSectors; }
    bool fits(std::uint64_t first, std::size_t bytes) const;
    // Sectors `offset` on of the block at `index` of the disk area.
    void writeInBlock(std::size_t index, std::uint32_t offset, std::span<const std::uint8_t> in,
                      NandWork& work);
    std::uint64_t pages(std::uint32_t offset, std::uint32_t count) const;

    Nand& nand_;
    std::optional<DiskLayout> layout_;
    std::vector<BlockRef> blocks_;  // the good blocks of the disk area, in disk order
};

// One disk of a NandDisk as a device of its own, from its first sector; it follows the
// layout the NandDisk has at each call.
class NandDiskPart final : public fwpkg::SectorDevice {
public:
    using Extent = DiskExtent (NandDisk::*)() const;
    NandDiskPart(NandDisk& disk, Extent extent) : disk_(disk), extent_(extent) {}

    std::uint64_t sectorCount() const override { return (disk_.*extent_)().count; }
    bool read(std::uint64_t first, std::span<std::uint8_t> out) override;
    bool write(std::uint64_t first, std::span<const std::uint8_t> in) override;

private:
    bool inside(std::uint64_t first, std::size_t bytes) const;

    NandDisk& disk_;
    Extent extent_;
};

}  // namespace cv50::sim
