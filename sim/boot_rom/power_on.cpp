// The boot ROM's search for an ID Block copy.
#include "sim/boot_rom/power_on.h"

#include <algorithm>
#include <vector>

namespace cv50::sim {

std::optional<BootedCopy> acceptedIdBlock(const Nand& nand) {
    constexpr std::uint32_t kSearchedBlocks = 200;
    constexpr std::size_t kSector = 528;
    if (!nand.spec().chipPresent(0)) return std::nullopt;
    const std::uint32_t blockSectors = nand.spec().blockSectors;
    const std::uint32_t blocks = std::min(kSearchedBlocks, nand.blocksPerChip());
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSectors) * kSector);
    for (std::uint32_t b = 0; b < blocks; ++b) {
        if (nand.isBad(0, b)) continue;
        const std::uint32_t first = b * blockSectors;
        nand.read(0, first, std::span(block.data(), kSector));
        if (block[512 + 2] != 0x69) continue;  // only copies carry the marker
        for (std::uint32_t s = 1; s < blockSectors; ++s)
            nand.read(0, first + s, std::span(block.data() + s * kSector, kSector));
        IdBlockVerdict verdict = checkIdBlockCopy(block);
        if (verdict.valid()) return BootedCopy{b, std::move(verdict.copy)};
    }
    return std::nullopt;
}

std::optional<std::uint32_t> bootRomCopyBlock(const Nand& nand) {
    const auto booted = acceptedIdBlock(nand);
    if (!booted) return std::nullopt;
    return booted->block;
}

DiskLayout diskLayoutOf(const IdBlockCopy& copy) {
    DiskLayout layout;
    layout.firstBlock = copy.firstFreeBlock;
    layout.diskSizesMB = copy.diskSizesMB;
    layout.loaderVersion = copy.loaderWords[2];
    return layout;
}

}  // namespace cv50::sim
