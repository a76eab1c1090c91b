// Files and folders put onto a FAT32 volume in place.
#include "fwpkg/fat_editor.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "fwpkg/fat_table.h"
#include "fwpkg/sector_device_io.h"

namespace cv50::fwpkg {
namespace {

constexpr std::size_t kSlotBytes = 32;
constexpr std::uint32_t kMaxFolderSlots = 65536;
constexpr std::uint8_t kAttrDirectory = 0x10;
constexpr std::uint8_t kAttrArchive = 0x20;
constexpr std::uint8_t kFreeSlot = 0xE5;
constexpr std::size_t kMaxPathChars = 1024;

// The names of a path; empty parts ("a\\b", a leading "\") are skipped.
std::vector<std::string> splitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

const FatEntry* entryNamed(const std::vector<FatEntry>& entries, const std::string& name) {
    for (const FatEntry& e : entries)
        if (sameFatName(e.name, name) || sameFatName(e.shortName, name)) return &e;
    return nullptr;
}

std::string quote(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

// A folder's clusters and its bytes, as read; edits change `bytes` and write the sectors
// they touched.
struct FatEditor::Folder {
    std::vector<std::uint32_t> clusters;
    std::vector<std::uint8_t> bytes;
    std::vector<FatEntry> entries;
    std::uint32_t firstCluster() const { return clusters.front(); }
};

FatEditor::FatEditor(SectorDevice& device, const FatGeometry& geometry,
                     std::unique_ptr<FatTable> table)
    : device_(device), geometry_(geometry), table_(std::move(table)) {}

FatEditor::~FatEditor() = default;

FatResult FatEditor::open(SectorDevice& device, std::unique_ptr<FatEditor>& out) {
    out.reset();
    FatGeometry geometry;
    {
        SectorDeviceSource source(device);
        std::unique_ptr<FatVolume> volume;
        if (const FatError e = FatVolume::open(source, volume); e != FatError::Ok)
            return FatResult::failed(std::string("no FAT volume on the device: ") + describe(e));
        geometry = volume->geometry();
    }
    if (geometry.type != FatType::Fat32)
        return FatResult::failed("the volume is FAT" +
                                 std::to_string(static_cast<int>(geometry.type)) + ", not FAT32");
    if (geometry.bytesPerSector != kSectorBytes)
        return FatResult::failed("the volume has sectors of " +
                                 std::to_string(geometry.bytesPerSector) + " bytes");
    std::vector<std::uint8_t> boot(kSectorBytes);
    if (!device.read(0, boot)) return FatResult::failed("cannot read the boot sector");
    std::unique_ptr<FatTable> table;
    if (FatResult r = FatTable::load(device, geometry, boot, table); !r) return r;
    out.reset(new FatEditor(device, geometry, std::move(table)));
    return {};
}

std::uint32_t FatEditor::freeClusters() const { return table_->freeCount(); }

std::uint64_t FatEditor::clusterSector(std::uint32_t cluster) const {
    return geometry_.dataStartSector + std::uint64_t(cluster - 2) * geometry_.sectorsPerCluster;
}

FatResult FatEditor::writeCluster(std::uint32_t cluster, std::span<const std::uint8_t> bytes) {
    if (!device_.write(clusterSector(cluster), bytes))
        return FatResult::failed("writing the disk failed");
    return {};
}

FatResult FatEditor::finish(FatResult result) {
    // The table goes out also after a failure: what was freed or undone must be on the disk.
    FatResult flushed = table_->flush();
    return result ? flushed : result;
}

FatResult FatEditor::loadFolder(std::uint32_t firstCluster, Folder& out) {
    const std::uint32_t clusterBytes = geometry_.clusterBytes();
    const std::uint32_t maxClusters = kMaxFolderSlots * kSlotBytes / clusterBytes;
    out = Folder{};
    for (std::uint32_t c = firstCluster; c != 0; c = table_->next(c)) {
        if (out.clusters.size() == maxClusters || c < 2 || c > geometry_.clusterCount + 1)
            return FatResult::failed("a folder's cluster chain is broken");
        out.clusters.push_back(c);
    }
    if (out.clusters.empty()) return FatResult::failed("a folder's cluster chain is broken");
    out.bytes.resize(out.clusters.size() * clusterBytes);
    for (std::size_t i = 0; i < out.clusters.size(); ++i)
        if (!device_.read(clusterSector(out.clusters[i]),
                          std::span(out.bytes).subspan(i * clusterBytes, clusterBytes)))
            return FatResult::failed("cannot read a folder");
    return parseEntries(out);
}

FatResult FatEditor::parseEntries(Folder& folder) const {
    const std::uint64_t volumeBytes =
        std::uint64_t(geometry_.clusterCount) * geometry_.clusterBytes();
    if (parseDirectory(folder.bytes, FatType::Fat32, volumeBytes, folder.entries) != FatError::Ok)
        return FatResult::failed("a folder is damaged");
    return {};
}

FatResult FatEditor::saveSlots(const Folder& folder, std::uint32_t firstSlot, std::uint32_t count) {
    const std::size_t clusterBytes = geometry_.clusterBytes();
    const std::size_t first = firstSlot * kSlotBytes / kSectorBytes;
    const std::size_t last = ((firstSlot + count) * kSlotBytes - 1) / kSectorBytes;
    for (std::size_t s = first; s <= last; ++s) {
        const std::size_t at = s * kSectorBytes;
        const std::uint64_t sector =
            clusterSector(folder.clusters[at / clusterBytes]) + (at % clusterBytes) / kSectorBytes;
        if (!device_.write(sector, std::span(folder.bytes).subspan(at, kSectorBytes)))
            return FatResult::failed("writing a folder failed");
    }
    return {};
}

FatResult FatEditor::growFolder(Folder& folder) {
    const std::uint32_t clusterBytes = geometry_.clusterBytes();
    if ((folder.clusters.size() + 1) * clusterBytes > kMaxFolderSlots * kSlotBytes)
        return FatResult::failed("the folder holds as many entries as FAT allows");
    const auto cluster = table_->allocate(folder.clusters.back());
    if (!cluster) return FatResult::failed("the disk is full");
    folder.clusters.push_back(*cluster);
    folder.bytes.resize(folder.bytes.size() + clusterBytes, 0);
    return writeCluster(*cluster, std::span(folder.bytes).last(clusterBytes));
}

FatResult FatEditor::insertEntry(Folder& folder, const std::string& name, std::uint8_t attributes,
                                 std::uint32_t cluster, std::uint32_t size) {
    std::vector<ShortName> taken;
    for (const FatEntry& e : folder.entries) {
        ShortName s;
        const std::size_t at = std::size_t(e.firstSlot + e.slotCount - 1) * kSlotBytes;
        std::copy_n(folder.bytes.begin() + static_cast<std::ptrdiff_t>(at), s.size(), s.begin());
        taken.push_back(s);
    }
    std::vector<std::array<std::uint8_t, 32>> slots;
    ShortName shortName;
    const std::u16string longName = checkedLongName(name);
    if (!exactShortName(name, shortName) ||
        std::find(taken.begin(), taken.end(), shortName) != taken.end()) {
        shortName = generatedShortName(name, taken);
        slots = longNameEntries(longName, shortName);
    }
    slots.push_back(shortNameEntry(shortName, attributes, cluster, size, 32, stamp_));

    // A run of free slots; everything after the first never-used slot is free.
    const auto need = static_cast<std::uint32_t>(slots.size());
    for (;;) {
        const auto total = static_cast<std::uint32_t>(folder.bytes.size() / kSlotBytes);
        std::uint32_t run = 0;
        bool pastEnd = false;
        for (std::uint32_t i = 0; i < total; ++i) {
            const std::uint8_t mark = folder.bytes[i * kSlotBytes];
            pastEnd = pastEnd || mark == 0x00;
            run = pastEnd || mark == kFreeSlot ? run + 1 : 0;
            if (run < need) continue;
            const std::uint32_t first = i + 1 - need;
            for (std::uint32_t k = 0; k < need; ++k)
                std::copy(
                    slots[k].begin(), slots[k].end(),
                    folder.bytes.begin() + static_cast<std::ptrdiff_t>((first + k) * kSlotBytes));
            std::uint32_t written = need;
            // Whatever lay past the end must stay past it.
            if (pastEnd && i + 1 < total) {
                std::fill_n(
                    folder.bytes.begin() + static_cast<std::ptrdiff_t>((i + 1) * kSlotBytes),
                    kSlotBytes, 0);
                ++written;
            }
            if (FatResult r = saveSlots(folder, first, written); !r) return r;
            return parseEntries(folder);
        }
        if (FatResult r = growFolder(folder); !r) return r;
    }
}

FatResult FatEditor::removeEntry(Folder& folder, const FatEntry& entry) {
    const FatEntry gone = entry;  // `entry` may live in folder.entries
    for (std::uint32_t k = 0; k < gone.slotCount; ++k)
        folder.bytes[(gone.firstSlot + k) * kSlotBytes] = kFreeSlot;
    if (FatResult r = saveSlots(folder, gone.firstSlot, gone.slotCount); !r) return r;
    table_->freeChain(gone.firstCluster);
    return parseEntries(folder);
}

FatResult FatEditor::makeChildFolder(Folder& parent, const std::string& name,
                                     std::uint32_t& cluster) {
    const auto made = table_->allocate(0);
    if (!made) return FatResult::failed("the disk is full");
    cluster = *made;
    std::vector<std::uint8_t> bytes(geometry_.clusterBytes(), 0);
    ShortName dot;
    dot.fill(' ');
    dot[0] = '.';
    const auto self = shortNameEntry(dot, kAttrDirectory, cluster, 0, 32, stamp_);
    dot[1] = '.';
    // ".." of a folder in the root names cluster 0, whatever the root's cluster is.
    const std::uint32_t up =
        parent.firstCluster() == geometry_.rootCluster ? 0 : parent.firstCluster();
    const auto upEntry = shortNameEntry(dot, kAttrDirectory, up, 0, 32, stamp_);
    std::copy(self.begin(), self.end(), bytes.begin());
    std::copy(upEntry.begin(), upEntry.end(), bytes.begin() + kSlotBytes);
    FatResult r = writeCluster(cluster, bytes);
    if (r) r = insertEntry(parent, name, kAttrDirectory, cluster, 0);
    if (!r) table_->freeChain(cluster);
    return r;
}

FatResult FatEditor::openFolder(std::span<const std::string> names, bool create, Folder& out) {
    if (FatResult r = loadFolder(geometry_.rootCluster, out); !r) return r;
    for (const std::string& name : names) {
        std::uint32_t cluster = 0;
        if (const FatEntry* e = entryNamed(out.entries, name)) {
            if (!e->directory) return FatResult::failed(quote(name) + " is a file, not a folder");
            cluster = e->firstCluster;
        } else if (!create) {
            return FatResult::failed("no folder " + quote(name));
        } else if (FatResult r = makeChildFolder(out, name, cluster); !r) {
            return r;
        }
        if (FatResult r = loadFolder(cluster, out); !r) return r;
    }
    return {};
}

FatResult FatEditor::writeContent(const ReadBytes& read, std::uint32_t& firstCluster,
                                  std::uint32_t& size) {
    firstCluster = 0;
    size = 0;
    std::vector<std::uint8_t> buffer(geometry_.clusterBytes());
    std::uint32_t previous = 0;
    for (bool end = false; !end;) {
        std::size_t filled = 0;
        while (filled < buffer.size()) {
            const auto got = read(std::span(buffer).subspan(filled));
            if (!got || *got > buffer.size() - filled)
                return FatResult::failed("reading the file failed");
            if (*got == 0) {
                end = true;
                break;
            }
            filled += *got;
        }
        if (filled == 0) break;
        if (filled > 0xFFFFFFFFull - size)
            return FatResult::failed("the file is larger than FAT32 allows (4 GiB less one byte)");
        size += static_cast<std::uint32_t>(filled);
        const auto cluster = table_->allocate(previous);
        if (!cluster) return FatResult::failed("the disk is full");
        if (firstCluster == 0) firstCluster = *cluster;
        previous = *cluster;
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.end(), 0);
        if (FatResult r = writeCluster(*cluster, buffer); !r) return r;
    }
    return {};
}

FatResult FatEditor::addFile(std::string_view path, const ReadBytes& read) {
    try {
        const std::vector<std::string> names = splitPath(path);
        if (names.empty()) return finish(FatResult::failed(quote(path) + " names no file"));
        for (const std::string& n : names) checkedLongName(n);
        Folder folder;
        FatResult r = openFolder(std::span(names).first(names.size() - 1), true, folder);
        if (!r) return finish(r);
        // An overwritten file keeps the name it had, as on any file system that ignores case.
        std::string name = names.back();
        if (const FatEntry* old = entryNamed(folder.entries, name)) {
            if (old->directory) return finish(FatResult::failed(quote(path) + " is a folder"));
            name = old->name;
            if (r = removeEntry(folder, *old); !r) return finish(r);
        }
        std::uint32_t first = 0, size = 0;
        r = writeContent(read, first, size);
        if (r) r = insertEntry(folder, name, kAttrArchive, first, size);
        if (!r) table_->freeChain(first);
        return finish(r);
    } catch (const std::exception& e) {
        return finish(FatResult::failed(e.what()));
    }
}

FatResult FatEditor::makeFolder(std::string_view path) {
    try {
        const std::vector<std::string> names = splitPath(path);
        for (const std::string& n : names) checkedLongName(n);
        Folder folder;
        return finish(openFolder(names, true, folder));
    } catch (const std::exception& e) {
        return finish(FatResult::failed(e.what()));
    }
}

FatResult FatEditor::addHostFile(const std::filesystem::path& host, std::string_view path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(host, ec))
        return FatResult::failed("cannot read " + host.string() + ": not a file");
    std::ifstream in(host, std::ios::binary);
    if (!in) return FatResult::failed("cannot read " + host.string());
    FatResult r =
        addFile(path, [&in](std::span<std::uint8_t> buffer) -> std::optional<std::size_t> {
            in.read(reinterpret_cast<char*>(buffer.data()),
                    static_cast<std::streamsize>(buffer.size()));
            if (in.bad() || (in.fail() && !in.eof())) return std::nullopt;
            return static_cast<std::size_t>(in.gcount());
        });
    if (!r) r.message = host.string() + ": " + r.message;
    return r;
}

FatResult FatEditor::addHostFolder(const std::filesystem::path& host, std::string_view path) {
    namespace fs = std::filesystem;
    // A link from a folder to one above it would lead down forever.
    if (path.size() > kMaxPathChars)
        return FatResult::failed("the folders under " + host.string() + " nest too deeply");
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec)
        return FatResult::failed("cannot read the folder " + host.string() + ": " + ec.message());
    std::sort(entries.begin(), entries.end());
    if (FatResult r = makeFolder(path); !r) return r;
    for (const fs::directory_entry& e : entries) {
        const auto u8 = e.path().filename().u8string();
        const std::string target = std::string(path) + "\\" + std::string(u8.begin(), u8.end());
        FatResult r =
            e.is_directory(ec) ? addHostFolder(e.path(), target) : addHostFile(e.path(), target);
        if (!r) return r;
    }
    return {};
}

}  // namespace cv50::fwpkg
