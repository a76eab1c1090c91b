// A disk of 512-byte sectors held in memory, zero until written: the user disk of a player
// whose NAND holds no disk layout, so that formatting and copying still have a medium.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fwpkg/sector_device.h"
#include "sim/sparse_store.h"

namespace cv50::sim {

class MemoryDisk final : public fwpkg::SectorDevice {
public:
    explicit MemoryDisk(std::uint32_t sectors);

    std::uint64_t sectorCount() const override { return sectors_; }
    bool read(std::uint64_t first, std::span<std::uint8_t> out) override;
    bool write(std::uint64_t first, std::span<const std::uint8_t> in) override;
    // Whether anything was ever written (an untouched disk need not be kept).
    bool written() const { return store_.chunksInUse() != 0; }
    // Bumped by every write and load.
    std::uint64_t revision() const { return revision_; }

    [[nodiscard]] bool save(const std::string& path, std::string& error) const;
    [[nodiscard]] bool load(const std::string& path, std::string& error);

private:
    bool fits(std::uint64_t first, std::size_t bytes) const;

    static constexpr std::uint32_t kChunkSectors = 128;
    std::uint32_t sectors_;
    SparseStore store_;
    std::uint64_t revision_ = 0;
};

}  // namespace cv50::sim
