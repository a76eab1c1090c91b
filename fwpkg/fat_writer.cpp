// The FAT image writer: plan the tree, choose the geometry, allocate clusters in order,
// then write boot area, FATs, root directory and data front to back.
#include "fwpkg/fat_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "fwpkg/fat_names.h"

namespace cv50::fwpkg {
namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kFat32Reserved = 32;

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One node of the tree with what the writer decided for it.
struct Planned {
    const FatNode* node = nullptr;
    const Planned* parent = nullptr;  // null for the root
    ShortName shortName{};
    std::u16string longName;  // empty when the 8.3 name says it all
    std::uint64_t size = 0;   // content bytes (files) or directory bytes
    std::uint32_t firstCluster = 0;
    std::uint32_t clusters = 0;
    std::vector<std::unique_ptr<Planned>> children;
};

std::uint64_t directoryBytes(const Planned& dir, bool root) {
    std::uint64_t entries = root ? 1 : 2;  // the label, or "." and ".."
    for (const auto& c : dir.children)
        entries += 1 + (c->longName.empty() ? 0 : (c->longName.size() + 12) / 13);
    return entries * 32;
}

// Names first (exact 8.3 names are kept, so generated ones must avoid all of them),
// then the sub-folders.
void plan(Planned& dir) {
    std::vector<const FatNode*> sorted;
    for (const FatNode& c : dir.node->children) sorted.push_back(&c);
    std::sort(sorted.begin(), sorted.end(),
              [](const FatNode* a, const FatNode* b) { return a->name < b->name; });
    std::vector<ShortName> taken;
    std::vector<std::u16string> folded;
    std::vector<bool> exact;
    for (const FatNode* c : sorted) {
        auto p = std::make_unique<Planned>();
        p->node = c;
        p->parent = &dir;
        const std::u16string longName = checkedLongName(c->name);
        std::u16string key = longName;
        for (char16_t& u : key)
            if (u >= 'a' && u <= 'z') u = static_cast<char16_t>(u - 'a' + 'A');
        if (std::find(folded.begin(), folded.end(), key) != folded.end())
            throw std::runtime_error("two entries named \"" + c->name + "\" in one folder");
        folded.push_back(key);
        exact.push_back(exactShortName(c->name, p->shortName));
        if (exact.back())
            taken.push_back(p->shortName);
        else
            p->longName = longName;
        if (!c->directory) {
            p->size = c->hostFile.empty() ? c->bytes.size() : c->size;
            if (p->size > 0xFFFFFFFFull)
                throw std::runtime_error("\"" + c->name + "\" is larger than FAT allows");
        }
        dir.children.push_back(std::move(p));
    }
    for (std::size_t i = 0; i < dir.children.size(); ++i) {
        if (exact[i]) continue;
        Planned& p = *dir.children[i];
        p.shortName = generatedShortName(p.node->name, taken);
        taken.push_back(p.shortName);
    }
    for (auto& c : dir.children)
        if (c->node->directory) plan(*c);
}

void sizeDirectories(Planned& dir, bool root) {
    dir.size = directoryBytes(dir, root);
    for (auto& c : dir.children)
        if (c->node->directory) sizeDirectories(*c, false);
}

std::uint64_t clustersNeeded(const Planned& dir, std::uint32_t clusterBytes, bool countSelf) {
    std::uint64_t n =
        countSelf ? std::max<std::uint64_t>(1, (dir.size + clusterBytes - 1) / clusterBytes) : 0;
    for (const auto& c : dir.children) {
        if (c->node->directory)
            n += clustersNeeded(*c, clusterBytes, true);
        else
            n += (c->size + clusterBytes - 1) / clusterBytes;
    }
    return n;
}

struct Geometry {
    int type = 12;
    std::uint32_t sectorsPerCluster = 1;
    std::uint32_t clusterCount = 0;
    std::uint32_t reserved = 1;
    std::uint32_t rootEntries = 0;
    std::uint32_t fatSectors = 0;
    std::uint64_t totalSectors = 0;
    std::uint32_t clusterBytes() const { return sectorsPerCluster * kSectorSize; }
    std::uint32_t rootSectors() const { return rootEntries * 32 / kSectorSize; }
    std::uint64_t dataStart() const { return reserved + 2ull * fatSectors + rootSectors(); }
};

// Cluster counts kept a little away from the limits that tell the types apart.
bool fitGeometry(int type, std::uint32_t maxSpc, const Planned& root, Geometry& g) {
    const std::uint64_t minCount = type == 12 ? 64 : type == 16 ? 4101 : 65541;
    const std::uint64_t maxCount = type == 12 ? 4068 : type == 16 ? 65508 : 0x0FFFFFF0;
    for (std::uint32_t spc = 1; spc <= maxSpc; spc *= 2) {
        const std::uint64_t needed = clustersNeeded(root, spc * kSectorSize, type == 32);
        const std::uint64_t count = std::max(needed, minCount);
        if (count > maxCount) continue;
        g.type = type;
        g.sectorsPerCluster = spc;
        g.clusterCount = static_cast<std::uint32_t>(count);
        g.reserved = type == 32 ? kFat32Reserved : 1;
        const std::uint64_t rootNeeded = type == 32 ? 0 : root.size / 32;
        g.rootEntries = type == 32 ? 0
                                   : static_cast<std::uint32_t>(
                                         std::max<std::uint64_t>(512, (rootNeeded + 15) / 16 * 16));
        if (g.rootEntries > 65520) return false;
        const std::uint64_t fatBytes = ((count + 2) * static_cast<unsigned>(type) + 7) / 8;
        g.fatSectors = static_cast<std::uint32_t>((fatBytes + kSectorSize - 1) / kSectorSize);
        g.totalSectors = g.dataStart() + count * spc;
        if (g.totalSectors > 0xFFFFFFFFull) return false;
        return true;
    }
    return false;
}

Geometry chooseGeometry(int fatType, const Planned& root) {
    Geometry g;
    if (fatType == 12 || fatType == 16 || fatType == 32) {
        if (fitGeometry(fatType, 64, root, g)) return g;
        throw std::runtime_error("the files do not fit a FAT" + std::to_string(fatType) +
                                 " volume");
    }
    if (fatType != 0) throw std::runtime_error("the FAT type must be 12, 16 or 32");
    if (fitGeometry(12, 8, root, g) || fitGeometry(16, 64, root, g) || fitGeometry(32, 64, root, g))
        return g;
    throw std::runtime_error("the files do not fit a FAT volume");
}

class Allocator {
public:
    std::uint32_t next = 2;
    std::vector<Planned*> order;  // items in cluster order
    void take(Planned& p, std::uint32_t clusterBytes) {
        p.clusters = static_cast<std::uint32_t>((p.size + clusterBytes - 1) / clusterBytes);
        if (p.node->directory && p.clusters == 0) p.clusters = 1;
        if (p.clusters == 0) return;
        p.firstCluster = next;
        next += p.clusters;
        order.push_back(&p);
    }
    void children(Planned& dir, std::uint32_t clusterBytes) {
        for (auto& c : dir.children) take(*c, clusterBytes);
        for (auto& c : dir.children)
            if (c->node->directory) children(*c, clusterBytes);
    }
};

std::vector<std::uint8_t> directoryContent(const Planned& dir, const Planned* parent, bool root,
                                           const ShortName& label, int fatType,
                                           std::size_t capacity) {
    std::vector<std::uint8_t> out;
    const auto add = [&out](const std::array<std::uint8_t, 32>& e) {
        out.insert(out.end(), e.begin(), e.end());
    };
    if (root) {
        if (label != ShortName{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '})
            add(shortNameEntry(label, 0x08, 0, 0, fatType));
    } else {
        ShortName dot;
        dot.fill(' ');
        dot[0] = '.';
        add(shortNameEntry(dot, 0x10, dir.firstCluster, 0, fatType));
        dot[1] = '.';
        add(shortNameEntry(dot, 0x10,
                       parent != nullptr && parent->parent != nullptr ? parent->firstCluster : 0, 0,
                       fatType));
    }
    for (const auto& c : dir.children) {
        if (!c->longName.empty())
            for (const auto& e : longNameEntries(c->longName, c->shortName)) add(e);
        add(shortNameEntry(c->shortName, c->node->directory ? 0x10 : 0x20, c->firstCluster,
                       c->node->directory ? 0 : static_cast<std::uint32_t>(c->size), fatType));
    }
    out.resize(capacity, 0);
    return out;
}

}  // namespace

FatNode treeFromFolder(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    FatNode node;
    node.directory = true;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    if (ec)
        throw std::runtime_error("cannot read the folder " + folder.string() + ": " + ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec)
            throw std::runtime_error("cannot read the folder " + folder.string() + ": " +
                                     ec.message());
        FatNode child;
        const auto u8 = it->path().filename().u8string();
        child.name.assign(u8.begin(), u8.end());
        if (it->is_directory(ec)) {
            child = treeFromFolder(it->path());
            child.name.assign(u8.begin(), u8.end());
        } else if (it->is_regular_file(ec)) {
            child.hostFile = it->path();
            child.size = it->file_size(ec);
            if (ec)
                throw std::runtime_error("cannot read " + it->path().string() + ": " +
                                         ec.message());
        } else {
            throw std::runtime_error(it->path().string() + " is neither a file nor a folder");
        }
        node.children.push_back(std::move(child));
    }
    return node;
}

std::uint64_t writeFatImage(const FatNode& rootNode, const FatWriteOptions& options,
                            const ByteSink& sink) {
    Planned root;
    root.node = &rootNode;
    plan(root);
    sizeDirectories(root, true);
    const ShortName label = volumeLabelName(options.label);
    const Geometry g = chooseGeometry(options.fatType, root);
    const std::uint32_t clusterBytes = g.clusterBytes();

    Allocator alloc;
    if (g.type == 32) alloc.take(root, clusterBytes);
    alloc.children(root, clusterBytes);
    const std::uint32_t used = alloc.next - 2;

    std::uint64_t written = 0;
    const auto emit = [&](std::span<const std::uint8_t> bytes) {
        if (bytes.empty()) return;
        if (!sink(bytes)) throw std::runtime_error("writing the image failed");
        written += bytes.size();
    };
    const auto emitZeros = [&](std::uint64_t n) {
        static const std::vector<std::uint8_t> zeros(65536, 0);
        while (n > 0) {
            const std::size_t k =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, zeros.size()));
            emit(std::span(zeros.data(), k));
            n -= k;
        }
    };

    // Boot sector (and for FAT32 the FSInfo sector and their backups).
    std::vector<std::uint8_t> reserved(std::size_t(g.reserved) * kSectorSize, 0);
    std::uint8_t* bs = reserved.data();
    bs[0] = 0xEB;
    bs[1] = g.type == 32 ? 0x58 : 0x3C;
    bs[2] = 0x90;
    std::memcpy(bs + 3, "CV50PACK", 8);
    put16(bs + 11, kSectorSize);
    bs[13] = static_cast<std::uint8_t>(g.sectorsPerCluster);
    put16(bs + 14, g.reserved);
    bs[16] = 2;
    put16(bs + 17, g.rootEntries);
    const bool small = g.type != 32 && g.totalSectors < 65536;
    put16(bs + 19, small ? static_cast<std::uint32_t>(g.totalSectors) : 0);
    bs[21] = 0xF8;
    put16(bs + 22, g.type == 32 ? 0 : g.fatSectors);
    put16(bs + 24, 32);
    put16(bs + 26, 64);
    put32(bs + 32, small ? 0 : static_cast<std::uint32_t>(g.totalSectors));
    std::uint8_t* ext = bs + 36;
    if (g.type == 32) {
        put32(bs + 36, g.fatSectors);
        put32(bs + 44, 2);  // root directory cluster
        put16(bs + 48, 1);  // FSInfo sector
        put16(bs + 50, 6);  // backup boot sector
        ext = bs + 64;
    }
    ext[0] = 0x80;
    ext[2] = 0x29;
    put32(ext + 3, options.volumeId);
    std::memcpy(ext + 7, label.data(), 11);
    std::memcpy(ext + 18, g.type == 12 ? "FAT12   " : g.type == 16 ? "FAT16   " : "FAT32   ", 8);
    bs[510] = 0x55;
    bs[511] = 0xAA;
    if (g.type == 32) {
        std::uint8_t* info = reserved.data() + kSectorSize;
        put32(info, 0x41615252);
        put32(info + 484, 0x61417272);
        put32(info + 488, g.clusterCount - used);
        put32(info + 492, alloc.next <= g.clusterCount + 1 ? alloc.next : 0xFFFFFFFF);
        put32(info + 508, 0xAA550000);
        std::memcpy(reserved.data() + 6 * kSectorSize, reserved.data(), 2 * kSectorSize);
    }
    emit(reserved);

    // The two FATs.
    std::vector<std::uint8_t> fat(std::size_t(g.fatSectors) * kSectorSize, 0);
    const auto setEntry = [&](std::uint32_t n, std::uint32_t v) {
        if (g.type == 12) {
            const std::size_t at = n + n / 2;
            const std::uint16_t old = static_cast<std::uint16_t>(fat[at] | fat[at + 1] << 8);
            const std::uint16_t val =
                (n & 1) ? static_cast<std::uint16_t>((old & 0x000F) | (v << 4))
                        : static_cast<std::uint16_t>((old & 0xF000) | (v & 0x0FFF));
            put16(&fat[at], val);
        } else if (g.type == 16) {
            put16(&fat[std::size_t(n) * 2], v);
        } else {
            put32(&fat[std::size_t(n) * 4], v & 0x0FFFFFFF);
        }
    };
    const std::uint32_t endMark = g.type == 12 ? 0x0FFF : g.type == 16 ? 0xFFFF : 0x0FFFFFFF;
    setEntry(0, (endMark & ~0xFFu) | 0xF8);
    setEntry(1, endMark);
    for (const Planned* p : alloc.order)
        for (std::uint32_t k = 0; k < p->clusters; ++k)
            setEntry(p->firstCluster + k, k + 1 == p->clusters ? endMark : p->firstCluster + k + 1);
    emit(fat);
    emit(fat);

    // The fixed root directory of FAT12 and FAT16.
    if (g.type != 32)
        emit(directoryContent(root, nullptr, true, label, g.type, std::size_t(g.rootEntries) * 32));

    // Clusters in allocation order, then the free ones.
    std::vector<std::uint8_t> buffer(clusterBytes);
    for (const Planned* p : alloc.order) {
        const std::size_t capacity = std::size_t(p->clusters) * clusterBytes;
        if (p->node->directory) {
            emit(directoryContent(*p, p->parent, p == &root, label, g.type, capacity));
            continue;
        }
        std::uint64_t left = p->size;
        if (p->node->hostFile.empty()) {
            emit(p->node->bytes);
        } else {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(
                std::fopen(p->node->hostFile.string().c_str(), "rb"), &std::fclose);
            if (!in) throw std::runtime_error("cannot open " + p->node->hostFile.string());
            while (left > 0) {
                const std::size_t want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
                if (std::fread(buffer.data(), 1, want, in.get()) != want)
                    throw std::runtime_error(p->node->hostFile.string() +
                                             " changed while it was packed");
                emit(std::span(buffer.data(), want));
                left -= want;
            }
            if (std::fgetc(in.get()) != EOF)
                throw std::runtime_error(p->node->hostFile.string() +
                                         " changed while it was packed");
        }
        emitZeros(capacity - p->size);
    }
    emitZeros(std::uint64_t(g.clusterCount - used) * clusterBytes);
    return written;
}

}  // namespace cv50::fwpkg
