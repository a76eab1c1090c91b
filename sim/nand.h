// Simulated raw NAND of one player: chips of blocks of 528-byte sectors (512 data + 16 spare).
// Erased bytes read 0xFF and programming only clears bits, so writing over data that was
// not erased leaves the AND of old and new, as on real NAND. Factory bad blocks carry a
// 0x00 marker in the first spare byte of their first sector and can never be erased; blocks
// that fail later are remembered as grown bad blocks. Every sector program and block erase
// is one step; a scripted power cut stops one step part way, and the flash then takes no
// more steps until its power is back.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>

#include "sim/nand_spec.h"
#include "sim/sparse_store.h"

namespace cv50::sim {

class Nand {
public:
    explicit Nand(NandSpec spec);

    const NandSpec& spec() const { return spec_; }
    std::uint32_t blocksPerChip() const { return spec_.blocksPerChip(); }
    // Chip and sector within it of raw sector `sector`; false when no present chip holds it.
    bool locate(std::uint32_t sector, unsigned& chip, std::uint32_t& chipSector) const;
    bool validBlock(unsigned chip, std::uint32_t block) const;

    bool factoryBad(unsigned chip, std::uint32_t block) const;
    bool isBad(unsigned chip, std::uint32_t block) const;
    void markGrownBad(unsigned chip, std::uint32_t block);
    void clearGrownBad(unsigned chip, std::uint32_t block);

    // Every byte back to 0xFF (callers keep factory bad blocks from being erased).
    void eraseBlock(unsigned chip, std::uint32_t block);
    // ANDs 528 bytes into the sector.
    void program(unsigned chip, std::uint32_t chipSector, std::span<const std::uint8_t> raw);
    void read(unsigned chip, std::uint32_t chipSector, std::span<std::uint8_t> raw) const;

    // Steps (sector programs and block erases) taken since the flash was made.
    std::uint64_t steps() const { return steps_; }
    // Bumped by every change of the contents or the grown bad blocks, and by a load.
    std::uint64_t revision() const { return revision_; }
    // Power fails during step `step` (counted as steps() counts, from 1), once: an erase
    // then leaves the block's later pages as they were, a program clears the bits of only
    // the sector's first half.
    void cutPowerAtStep(std::uint64_t step) { cutAtStep_ = step; }
    // The power failed and is not back: programs and erases do nothing.
    bool powerLost() const { return powerLost_; }
    void restorePower() { powerLost_ = false; }

    // The contents and grown bad blocks, in a file of its own format.
    [[nodiscard]] bool save(const std::string& path, std::string& error) const;
    // Replaces the contents from a file saved with the same geometry; unchanged on failure.
    [[nodiscard]] bool load(const std::string& path, std::string& error);

private:
    std::uint64_t chunkIndex(unsigned chip, std::uint32_t block) const {
        return std::uint64_t{chip} * blocksPerChip() + block;
    }

    enum class Step { Whole, Cut, Unpowered };
    // Counts a step and tells how far it gets.
    Step takeStep();

    NandSpec spec_;
    std::uint64_t steps_ = 0;
    std::uint64_t revision_ = 0;
    std::uint64_t cutAtStep_ = 0;  // 0: no cut scripted
    bool powerLost_ = false;
    std::set<BlockRef> factoryBad_;
    std::set<BlockRef> grownBad_;
    SparseStore store_;
};

}  // namespace cv50::sim
