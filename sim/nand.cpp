// The NAND model.
#include "sim/nand.h"

#include <algorithm>
#include <fstream>

namespace cv50::sim {
namespace {

using cvusb::kRawSectorSize;
using cvusb::kSectorSize;

constexpr char kNandMagic[8] = {'C', 'V', '5', '0', 'N', 'A', 'N', 'D'};
constexpr std::uint64_t kVersion = 1;

}  // namespace

Nand::Nand(NandSpec spec)
    : spec_(std::move(spec)), store_(std::size_t{spec_.blockSectors} * kRawSectorSize, 0xFF) {
    for (const BlockRef& b : spec_.badBlocks) {
        if (!validBlock(b.chip, b.block)) continue;
        factoryBad_.insert(b);
        store_.chunk(chunkIndex(b.chip, b.block))[kSectorSize] = 0x00;
    }
}

bool Nand::locate(std::uint32_t sector, unsigned& chip, std::uint32_t& chipSector) const {
    chip = sector / spec_.chipSectors;
    chipSector = sector % spec_.chipSectors;
    return spec_.chipPresent(chip);
}

bool Nand::validBlock(unsigned chip, std::uint32_t block) const {
    return spec_.chipPresent(chip) && block < blocksPerChip();
}

bool Nand::factoryBad(unsigned chip, std::uint32_t block) const {
    return factoryBad_.count({static_cast<std::uint8_t>(chip), block}) != 0;
}

bool Nand::isBad(unsigned chip, std::uint32_t block) const {
    const BlockRef b{static_cast<std::uint8_t>(chip), block};
    return factoryBad_.count(b) != 0 || grownBad_.count(b) != 0;
}

void Nand::markGrownBad(unsigned chip, std::uint32_t block) {
    ++revision_;
    grownBad_.insert({static_cast<std::uint8_t>(chip), block});
}

void Nand::clearGrownBad(unsigned chip, std::uint32_t block) {
    ++revision_;
    grownBad_.erase({static_cast<std::uint8_t>(chip), block});
}

Nand::Step Nand::takeStep() {
    if (powerLost_) return Step::Unpowered;
    ++revision_;
    if (++steps_ != cutAtStep_) return Step::Whole;
    powerLost_ = true;
    return Step::Cut;
}

void Nand::eraseBlock(unsigned chip, std::uint32_t block) {
    const Step step = takeStep();
    if (step == Step::Whole) store_.drop(chunkIndex(chip, block));
    if (step != Step::Cut) return;
    // Cut part way: the first half of the pages erased (at least one), the rest as they were.
    const std::uint32_t pages = spec_.blockSectors / spec_.pageSectors;
    const std::size_t erased =
        std::size_t{std::max<std::uint32_t>(pages / 2, 1)} * spec_.pageSectors * kRawSectorSize;
    auto bytes = store_.chunk(chunkIndex(chip, block));
    std::fill_n(bytes.begin(), std::min(erased, bytes.size()), 0xFF);
}

void Nand::program(unsigned chip, std::uint32_t chipSector, std::span<const std::uint8_t> raw) {
    const Step step = takeStep();
    if (step == Step::Unpowered) return;
    const std::uint32_t block = chipSector / spec_.blockSectors;
    const std::size_t offset = std::size_t{chipSector % spec_.blockSectors} * kRawSectorSize;
    auto bytes = store_.chunk(chunkIndex(chip, block)).subspan(offset, kRawSectorSize);
    // Cut part way: only the bits of the sector's first half are cleared.
    const std::size_t programmed = step == Step::Whole ? kRawSectorSize : kRawSectorSize / 2;
    for (std::size_t i = 0; i < programmed; ++i) bytes[i] &= raw[i];
}

void Nand::read(unsigned chip, std::uint32_t chipSector, std::span<std::uint8_t> raw) const {
    const std::uint32_t block = chipSector / spec_.blockSectors;
    const std::size_t offset = std::size_t{chipSector % spec_.blockSectors} * kRawSectorSize;
    store_.read(chunkIndex(chip, block), offset, raw.first(kRawSectorSize));
}

bool Nand::save(const std::string& path, std::string& error) const {
    return saveStateFile(
        path,
        [&](std::ostream& out) {
            writeStateHeader(out, kNandMagic, kVersion);
            writeLe(out, spec_.chipMask, 1);
            writeLe(out, spec_.chipSectors, 4);
            writeLe(out, spec_.blockSectors, 2);
            writeLe(out, spec_.pageSectors, 1);
            writeLe(out, grownBad_.size(), 4);
            for (const BlockRef& b : grownBad_) {
                writeLe(out, b.chip, 1);
                writeLe(out, b.block, 4);
            }
            store_.save(out);
        },
        error);
}

bool Nand::load(const std::string& path, std::string& error) {
    std::ifstream in;
    if (!openStateFile(in, path, kNandMagic, kVersion, error)) return false;
    const auto mask = readLe(in, 1), chipSectors = readLe(in, 4), blockSectors = readLe(in, 2),
               pageSectors = readLe(in, 1);
    if (mask != spec_.chipMask || chipSectors != spec_.chipSectors ||
        blockSectors != spec_.blockSectors || pageSectors != spec_.pageSectors) {
        error = path + ": the saved flash has another geometry than the scenario's";
        return false;
    }
    const auto badCount = readLe(in, 4);
    if (!badCount || *badCount > std::uint64_t{8} * blocksPerChip()) {
        error = path + ": damaged bad-block list";
        return false;
    }
    std::set<BlockRef> grown;
    for (std::uint64_t i = 0; i < *badCount; ++i) {
        const auto chip = readLe(in, 1), block = readLe(in, 4);
        if (!chip || !block || !validBlock(static_cast<unsigned>(*chip), static_cast<std::uint32_t>(*block))) {
            error = path + ": damaged bad-block list";
            return false;
        }
        grown.insert({static_cast<std::uint8_t>(*chip), static_cast<std::uint32_t>(*block)});
    }
    SparseStore store(store_.chunkSize(), 0xFF);
    if (!store.load(in, std::uint64_t{8} * blocksPerChip(), error)) {
        error = path + ": " + error;
        return false;
    }
    grownBad_ = std::move(grown);
    store_ = std::move(store);
    ++revision_;
    return true;
}

}  // namespace cv50::sim
