// The logical disk over the NAND's good blocks, and its layout's state file.
#include "sim/nand_disk.h"

#include <algorithm>
#include <fstream>

namespace cv50::sim {
namespace {

using cvusb::kRawSectorSize;
using fwpkg::kSectorBytes;

constexpr std::uint64_t kSectorsPerMB = 2048;
constexpr char kLayoutMagic[8] = {'C', 'V', '5', '0', 'L', 'A', 'Y', 'T'};
constexpr std::uint64_t kVersion = 1;

bool erased(std::span<const std::uint8_t> raw) {
    return std::all_of(raw.begin(), raw.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

void NandDisk::setLayout(const std::optional<DiskLayout>& layout) {
    layout_ = layout;
    blocks_.clear();
    if (!layout) return;
    const NandSpec& spec = nand_.spec();
    for (unsigned chip = 0; chip < 8; ++chip) {
        if (!spec.chipPresent(chip)) continue;
        for (std::uint32_t b = chip == 0 ? layout->firstBlock : 0; b < spec.blocksPerChip(); ++b)
            if (!nand_.isBad(chip, b)) blocks_.push_back({static_cast<std::uint8_t>(chip), b});
    }
}

DiskExtent NandDisk::systemDisk() const {
    if (!layout_) return {};
    return {0, std::min(layout_->diskSizesMB[0] * kSectorsPerMB, sectors())};
}

DiskExtent NandDisk::userDisk() const {
    if (!layout_) return {};
    std::uint64_t used = 0;
    for (std::uint16_t mb : layout_->diskSizesMB) used += mb * kSectorsPerMB;
    used = std::min(used, sectors());
    return {used, sectors() - used};
}

bool NandDisk::fits(std::uint64_t first, std::size_t bytes) const {
    return bytes % kSectorBytes == 0 && first <= sectors() &&
           bytes / kSectorBytes <= sectors() - first;
}

std::uint64_t NandDisk::pages(std::uint32_t offset, std::uint32_t count) const {
    const std::uint32_t ps = nand_.spec().pageSectors;
    return count == 0 ? 0 : (offset + count - 1) / ps - offset / ps + 1;
}

bool NandDisk::read(std::uint64_t first, std::span<std::uint8_t> out, NandWork& work) const {
    if (!fits(first, out.size())) return false;
    const std::uint32_t bs = blockSectors();
    std::array<std::uint8_t, kRawSectorSize> raw{};
    std::uint32_t run = 0;  // sectors read in the current block
    for (std::size_t done = 0; done < out.size(); done += kSectorBytes) {
        const std::uint64_t sector = first + done / kSectorBytes;
        const BlockRef& b = blocks_[sector / bs];
        const auto offset = static_cast<std::uint32_t>(sector % bs);
        nand_.read(b.chip, b.block * bs + offset, raw);
        std::copy_n(raw.begin(), kSectorBytes, out.begin() + static_cast<std::ptrdiff_t>(done));
        ++run;
        if (offset + 1 == bs || done + kSectorBytes == out.size()) {
            work.pagesRead += pages(offset + 1 - run, run);
            run = 0;
        }
    }
    return true;
}

bool NandDisk::write(std::uint64_t first, std::span<const std::uint8_t> in, NandWork& work) {
    if (!fits(first, in.size())) return false;
    const std::uint32_t bs = blockSectors();
    std::size_t done = 0;
    while (done < in.size()) {
        const std::uint64_t sector = first + done / kSectorBytes;
        const auto offset = static_cast<std::uint32_t>(sector % bs);
        const std::size_t bytes =
            std::min<std::size_t>(std::size_t{bs - offset} * kSectorBytes, in.size() - done);
        writeInBlock(sector / bs, offset, in.subspan(done, bytes), work);
        done += bytes;
    }
    return true;
}

void NandDisk::writeInBlock(std::size_t index, std::uint32_t offset,
                            std::span<const std::uint8_t> in, NandWork& work) {
    const BlockRef b = blocks_[index];
    const std::uint32_t bs = blockSectors();
    const std::uint32_t first = b.block * bs;
    const auto count = static_cast<std::uint32_t>(in.size() / kSectorBytes);
    std::array<std::uint8_t, kRawSectorSize> raw{};
    bool allErased = true;
    for (std::uint32_t i = 0; i < count && allErased; ++i) {
        nand_.read(b.chip, first + offset + i, raw);
        allErased = erased(raw);
    }
    if (allErased) {
        // The usual case of a sequential write: straight onto erased pages.
        for (std::uint32_t i = 0; i < count; ++i) {
            std::fill(raw.begin(), raw.end(), 0xFF);
            std::copy_n(in.begin() + std::ptrdiff_t{i} * kSectorBytes, kSectorBytes, raw.begin());
            nand_.program(b.chip, first + offset + i, raw);
        }
        work.pagesProgrammed += pages(offset, count);
        return;
    }
    // Programming only clears bits: read the block, erase it and program it again.
    std::vector<std::uint8_t> block(std::size_t{bs} * kRawSectorSize);
    auto rawSector = [&block](std::uint32_t s) {
        return std::span(block).subspan(std::size_t{s} * kRawSectorSize, kRawSectorSize);
    };
    for (std::uint32_t s = 0; s < bs; ++s) nand_.read(b.chip, first + s, rawSector(s));
    work.pagesRead += pages(0, bs);
    for (std::uint32_t i = 0; i < count; ++i) {
        auto target = rawSector(offset + i);
        std::fill(target.begin(), target.end(), 0xFF);
        std::copy_n(in.begin() + std::ptrdiff_t{i} * kSectorBytes, kSectorBytes, target.begin());
    }
    nand_.eraseBlock(b.chip, b.block);
    ++work.blocksErased;
    const std::uint32_t ps = nand_.spec().pageSectors;
    std::uint32_t lastPage = UINT32_MAX;
    for (std::uint32_t s = 0; s < bs; ++s) {
        if (erased(rawSector(s))) continue;
        nand_.program(b.chip, first + s, rawSector(s));
        if (s / ps != lastPage) ++work.pagesProgrammed;
        lastPage = s / ps;
    }
}

void NandDisk::eraseSystemDisk(NandWork& work) {
    const std::uint32_t bs = blockSectors();
    const std::uint64_t blocks = (systemDisk().count + bs - 1) / bs;
    for (std::uint64_t i = 0; i < blocks; ++i) {
        nand_.eraseBlock(blocks_[i].chip, blocks_[i].block);
        ++work.blocksErased;
    }
}

bool NandDisk::saveLayout(const std::string& path, std::string& error) const {
    return saveStateFile(
        path,
        [&](std::ostream& out) {
            writeStateHeader(out, kLayoutMagic, kVersion);
            writeLe(out, layout_ ? 1 : 0, 1);
            if (!layout_) return;
            writeLe(out, layout_->firstBlock, 4);
            for (std::uint16_t mb : layout_->diskSizesMB) writeLe(out, mb, 2);
            writeLe(out, layout_->loaderVersion, 2);
        },
        error);
}

bool NandDisk::loadLayout(const std::string& path, std::string& error) {
    std::ifstream in;
    if (!openStateFile(in, path, kLayoutMagic, kVersion, error)) return false;
    const auto present = readLe(in, 1);
    if (present == 0u) {
        setLayout(std::nullopt);
        return true;
    }
    DiskLayout layout;
    const auto firstBlock = readLe(in, 4);
    std::array<std::optional<std::uint64_t>, 4> sizes;
    for (auto& s : sizes) s = readLe(in, 2);
    const auto version = readLe(in, 2);
    if (present != 1u || !firstBlock || !version ||
        std::any_of(sizes.begin(), sizes.end(), [](const auto& s) { return !s; })) {
        error = path + ": damaged layout";
        return false;
    }
    layout.firstBlock = static_cast<std::uint32_t>(*firstBlock);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        layout.diskSizesMB[i] = static_cast<std::uint16_t>(*sizes[i]);
    layout.loaderVersion = static_cast<std::uint16_t>(*version);
    setLayout(layout);
    return true;
}

bool NandDiskPart::inside(std::uint64_t first, std::size_t bytes) const {
    const DiskExtent e = (disk_.*extent_)();
    return bytes % kSectorBytes == 0 && first <= e.count && bytes / kSectorBytes <= e.count - first;
}

bool NandDiskPart::read(std::uint64_t first, std::span<std::uint8_t> out) {
    NandWork unused;
    return inside(first, out.size()) && disk_.read((disk_.*extent_)().first + first, out, unused);
}

bool NandDiskPart::write(std::uint64_t first, std::span<const std::uint8_t> in) {
    NandWork unused;
    return inside(first, in.size()) && disk_.write((disk_.*extent_)().first + first, in, unused);
}

}  // namespace cv50::sim
