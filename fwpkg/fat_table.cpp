// The in-memory allocation table of a FAT32 volume under edit.
#include "fwpkg/fat_table.h"

#include <algorithm>

#include "base/byte_order.h"

namespace cv50::fwpkg {
namespace {

constexpr std::uint32_t kEntriesPerSector = kSectorBytes / 4;
constexpr std::uint32_t kEndOfChain = 0x0FFFFFFF;
constexpr std::uint32_t kFsInfoLead = 0x41615252;
constexpr std::uint32_t kFsInfoStruct = 0x61417272;
constexpr std::uint32_t kFsInfoTrail = 0xAA550000;
constexpr std::uint32_t kChunkSectors = 256;

}  // namespace

FatResult FatTable::load(SectorDevice& device, const FatGeometry& geometry,
                         std::span<const std::uint8_t> bootSector, std::unique_ptr<FatTable>& out) {
    std::unique_ptr<FatTable> t(new FatTable(device, geometry));
    const std::uint16_t extFlags = base::loadLe16(bootSector, 40);
    const std::uint32_t active = extFlags & 0x0F;
    if ((extFlags & 0x80) != 0) {
        if (active >= geometry.fatCount) return FatResult::failed("the active FAT does not exist");
        t->copies_.push_back(active);
    } else {
        for (std::uint32_t i = 0; i < geometry.fatCount; ++i) t->copies_.push_back(i);
    }
    const std::uint16_t fsInfo = base::loadLe16(bootSector, 48);
    if (fsInfo != 0 && fsInfo < geometry.reservedSectors) t->fsInfoSector_ = fsInfo;

    const std::uint32_t entries = geometry.clusterCount + 2;
    const std::uint32_t sectors = (entries + kEntriesPerSector - 1) / kEntriesPerSector;
    t->entries_.resize(std::size_t(sectors) * kEntriesPerSector);
    t->dirty_.assign(sectors, false);
    const std::uint64_t start =
        geometry.reservedSectors + std::uint64_t(t->copies_.front()) * geometry.fatSectors;
    std::vector<std::uint8_t> buffer;
    for (std::uint32_t s = 0; s < sectors; s += kChunkSectors) {
        const std::uint32_t n = std::min(kChunkSectors, sectors - s);
        buffer.resize(std::size_t(n) * kSectorBytes);
        if (!device.read(start + s, buffer)) return FatResult::failed("cannot read the FAT");
        for (std::uint32_t i = 0; i < n * kEntriesPerSector; ++i)
            t->entries_[std::size_t(s) * kEntriesPerSector + i] = base::loadLe32(buffer, i * 4);
    }
    for (std::uint32_t c = 2; c < entries; ++c)
        if (t->value(c) == 0) ++t->free_;
    out = std::move(t);
    return {};
}

std::uint32_t FatTable::next(std::uint32_t cluster) const {
    if (cluster < 2 || cluster > g_.clusterCount + 1) return 0;
    const std::uint32_t v = value(cluster);
    return v >= 2 && v <= g_.clusterCount + 1 ? v : 0;
}

void FatTable::set(std::uint32_t cluster, std::uint32_t v) {
    entries_[cluster] = (entries_[cluster] & 0xF0000000) | (v & 0x0FFFFFFF);
    dirty_[cluster / kEntriesPerSector] = true;
}

std::optional<std::uint32_t> FatTable::allocate(std::uint32_t previous) {
    if (free_ == 0) return std::nullopt;
    const std::uint32_t last = g_.clusterCount + 1;
    std::uint32_t c = std::clamp(hint_, 2u, last);
    for (std::uint32_t tried = 0; tried < g_.clusterCount; ++tried, c = c == last ? 2 : c + 1) {
        if (value(c) != 0) continue;
        set(c, kEndOfChain);
        if (previous != 0) set(previous, c);
        --free_;
        hint_ = c == last ? 2 : c + 1;
        return c;
    }
    return std::nullopt;
}

void FatTable::freeChain(std::uint32_t first) {
    const std::uint32_t last = g_.clusterCount + 1;
    std::uint32_t c = first;
    // Each step frees a cluster, so even a chain that runs in a circle ends.
    while (c >= 2 && c <= last && value(c) != 0) {
        const std::uint32_t n = value(c);
        set(c, 0);
        ++free_;
        c = n;
    }
}

FatResult FatTable::flush() {
    std::vector<std::uint8_t> buffer;
    const auto sectors = static_cast<std::uint32_t>(dirty_.size());
    for (std::uint32_t s = 0; s < sectors;) {
        if (!dirty_[s]) {
            ++s;
            continue;
        }
        std::uint32_t end = s;
        while (end < sectors && dirty_[end] && end - s < kChunkSectors) ++end;
        buffer.resize(std::size_t(end - s) * kSectorBytes);
        for (std::uint32_t i = 0; i < (end - s) * kEntriesPerSector; ++i)
            base::storeLe32(buffer, i * 4, entries_[std::size_t(s) * kEntriesPerSector + i]);
        for (std::uint32_t copy : copies_)
            if (!device_.write(g_.reservedSectors + std::uint64_t(copy) * g_.fatSectors + s,
                               buffer))
                return FatResult::failed("cannot write the FAT");
        std::fill(dirty_.begin() + s, dirty_.begin() + end, false);
        s = end;
    }
    return writeFsInfo();
}

FatResult FatTable::writeFsInfo() {
    if (fsInfoSector_ == 0) return {};
    std::vector<std::uint8_t> info(kSectorBytes);
    if (!device_.read(fsInfoSector_, info))
        return FatResult::failed("cannot read the FSInfo sector");
    // A sector without the marks is not an FSInfo sector, whatever the boot sector says.
    if (base::loadLe32(info, 0) != kFsInfoLead || base::loadLe32(info, 484) != kFsInfoStruct ||
        base::loadLe32(info, 508) != kFsInfoTrail)
        return {};
    base::storeLe32(info, 488, free_);
    base::storeLe32(info, 492, hint_);
    if (!device_.write(fsInfoSector_, info))
        return FatResult::failed("cannot write the FSInfo sector");
    return {};
}

}  // namespace cv50::fwpkg
