// FAT reading with every field of the image checked before it is used.
#include "fwpkg/fat_reader.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "base/text.h"
#include "base/unicode.h"

namespace cv50::fwpkg {
namespace {

constexpr std::uint32_t kMaxDirectoryBytes = 65536 * 32;  // the most entries FAT allows
constexpr std::size_t kEntrySize = 32;
constexpr std::uint8_t kAttrDirectory = 0x10;
constexpr std::uint8_t kAttrVolume = 0x08;
constexpr std::uint8_t kAttrLongName = 0x0F;
constexpr int kLongNameChars = 13;
constexpr int kMaxLongNameParts = 20;  // 255 characters

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

bool powerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string trimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Short-name bytes outside ASCII are shown as "_" so names stay valid UTF-8.
std::string shortNamePart(const std::uint8_t* p, std::size_t n, bool lower) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = p[i];
        if (c >= 0x80 || c < 0x20) c = '_';
        s += static_cast<char>(lower ? std::tolower(c) : c);
    }
    return trimRight(s);
}

std::uint8_t shortNameChecksum(const std::uint8_t* name11) {
    std::uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    return sum;
}

// UTF-16 up to the first NUL; unpaired surrogates become U+FFFD.
std::string utf8FromUtf16(const std::vector<std::uint16_t>& units) {
    std::u16string text;
    for (std::uint16_t u : units) {
        if (u == 0) break;
        text += static_cast<char16_t>(u);
    }
    return base::utf8FromUtf16(text);
}

// The long name being gathered from the parts that precede a short entry.
class LongNameParts {
public:
    void reset() { expected_ = -1; }
    void add(const std::uint8_t* e, std::uint32_t slot) {
        const int seq = e[0] & 0x1F;
        if (e[0] & 0x40) {
            if (seq < 1 || seq > kMaxLongNameParts) return reset();
            units_.assign(static_cast<std::size_t>(seq) * kLongNameChars, 0xFFFF);
            checksum_ = e[13];
            expected_ = seq;
            firstSlot_ = slot;
        } else if (expected_ <= 0 || seq != expected_ || e[13] != checksum_) {
            return reset();
        }
        static constexpr std::array<int, 13> kOffsets = {1,  3,  5,  7,  9,  14, 16,
                                                         18, 20, 22, 24, 28, 30};
        for (int i = 0; i < kLongNameChars; ++i)
            units_[static_cast<std::size_t>(seq - 1) * kLongNameChars + i] = le16(e + kOffsets[i]);
        --expected_;
    }
    // True, with the name and the slot of its first part, when every part was seen and
    // they belong to this short entry.
    bool take(const std::uint8_t* shortEntry, std::string& name, std::uint32_t& firstSlot) {
        const bool belongs = expected_ == 0 && checksum_ == shortNameChecksum(shortEntry);
        if (belongs) {
            name = utf8FromUtf16(units_);
            firstSlot = firstSlot_;
        }
        reset();
        return belongs;
    }

private:
    int expected_ = -1;
    std::uint32_t firstSlot_ = 0;
    std::uint8_t checksum_ = 0;
    std::vector<std::uint16_t> units_;
};

}  // namespace

bool sameFatName(std::string_view a, std::string_view b) { return base::equalNoCase(a, b); }

const char* describe(FatError error) {
    switch (error) {
        case FatError::Ok:
            return "ok";
        case FatError::Truncated:
            return "the image is shorter than its file system";
        case FatError::BadBootSector:
            return "the boot sector is not that of a FAT volume";
        case FatError::BadChain:
            return "a cluster chain is broken";
        case FatError::CyclicChain:
            return "a cluster chain runs in a circle";
        case FatError::BadDirectory:
            return "a directory is damaged";
        case FatError::NotFound:
            return "no such file";
        case FatError::NotAFile:
            return "not a file";
        case FatError::NotADirectory:
            return "not a directory";
        case FatError::ReadFailed:
            return "the image could not be read";
    }
    return "unknown error";
}

FatError FatVolume::open(ByteSource& source, std::unique_ptr<FatVolume>& out) {
    out.reset();
    std::array<std::uint8_t, 512> bs{};
    if (source.size() < bs.size()) return FatError::Truncated;
    if (!source.read(0, bs)) return FatError::ReadFailed;
    if ((bs[0] != 0xEB && bs[0] != 0xE9) || bs[510] != 0x55 || bs[511] != 0xAA)
        return FatError::BadBootSector;

    FatGeometry g;
    g.bytesPerSector = le16(&bs[11]);
    g.sectorsPerCluster = bs[13];
    g.reservedSectors = le16(&bs[14]);
    g.fatCount = bs[16];
    g.rootEntries = le16(&bs[17]);
    const std::uint32_t total16 = le16(&bs[19]);
    const std::uint32_t fat16 = le16(&bs[22]);
    g.totalSectors = total16 != 0 ? total16 : le32(&bs[32]);
    g.fatSectors = fat16 != 0 ? fat16 : le32(&bs[36]);
    if (g.bytesPerSector < 512 || g.bytesPerSector > 4096 || !powerOfTwo(g.bytesPerSector) ||
        !powerOfTwo(g.sectorsPerCluster) || g.clusterBytes() > 65536 || g.reservedSectors == 0 ||
        g.fatCount == 0 || g.totalSectors == 0 || g.fatSectors == 0)
        return FatError::BadBootSector;
    if (g.totalSectors > source.size() / g.bytesPerSector) return FatError::Truncated;

    const std::uint64_t rootSectors =
        (std::uint64_t(g.rootEntries) * kEntrySize + g.bytesPerSector - 1) / g.bytesPerSector;
    g.dataStartSector = g.reservedSectors + std::uint64_t(g.fatCount) * g.fatSectors + rootSectors;
    if (g.dataStartSector >= g.totalSectors) return FatError::BadBootSector;
    const std::uint64_t clusters = (g.totalSectors - g.dataStartSector) / g.sectorsPerCluster;
    if (clusters == 0 || clusters > 0x0FFFFFF4) return FatError::BadBootSector;
    g.clusterCount = static_cast<std::uint32_t>(clusters);
    g.type = clusters < 4085 ? FatType::Fat12 : clusters < 65525 ? FatType::Fat16 : FatType::Fat32;

    if (g.type == FatType::Fat32) {
        g.rootCluster = le32(&bs[44]);
        if (fat16 != 0 || g.rootEntries != 0 || g.rootCluster < 2 ||
            g.rootCluster > g.clusterCount + 1)
            return FatError::BadBootSector;
        g.label = trimRight(shortNamePart(&bs[71], 11, false));
    } else {
        if (fat16 == 0 || g.rootEntries == 0) return FatError::BadBootSector;
        if (bs[38] == 0x29) g.label = trimRight(shortNamePart(&bs[43], 11, false));
    }
    const unsigned bits = static_cast<unsigned>(g.type);
    if (g.fatSectors * g.bytesPerSector * 8 < (std::uint64_t(g.clusterCount) + 2) * bits)
        return FatError::BadBootSector;

    std::unique_ptr<FatVolume> volume(new FatVolume(source, g));
    if (const FatError e = volume->loadFat(); e != FatError::Ok) return e;
    out = std::move(volume);
    return FatError::Ok;
}

FatError FatVolume::loadFat() {
    const unsigned bits = static_cast<unsigned>(geometry_.type);
    const std::uint64_t bytes = ((std::uint64_t(geometry_.clusterCount) + 2) * bits + 7) / 8;
    fat_.resize(static_cast<std::size_t>(bytes));
    const std::uint64_t at = std::uint64_t(geometry_.reservedSectors) * geometry_.bytesPerSector;
    return source_.read(at, fat_) ? FatError::Ok : FatError::ReadFailed;
}

std::uint32_t FatVolume::fatEntry(std::uint32_t cluster) const {
    const auto at = [this](std::uint64_t offset, std::size_t n) {
        return offset + n <= fat_.size() ? fat_.data() + offset : nullptr;
    };
    switch (geometry_.type) {
        case FatType::Fat12: {
            const std::uint8_t* p = at(cluster + cluster / 2, 2);
            if (p == nullptr) return 0;
            const std::uint16_t v = le16(p);
            return (cluster & 1) ? v >> 4 : v & 0x0FFF;
        }
        case FatType::Fat16: {
            const std::uint8_t* p = at(std::uint64_t(cluster) * 2, 2);
            return p ? le16(p) : 0;
        }
        case FatType::Fat32: {
            const std::uint8_t* p = at(std::uint64_t(cluster) * 4, 4);
            return p ? le32(p) & 0x0FFFFFFF : 0;
        }
    }
    return 0;
}

FatError FatVolume::chain(std::uint32_t first, std::uint64_t limit, std::vector<std::uint32_t>& out,
                          bool& complete) {
    out.clear();
    complete = false;
    const std::uint32_t last = geometry_.clusterCount + 1;
    const std::uint32_t endMark = geometry_.type == FatType::Fat12   ? 0x0FF8
                                  : geometry_.type == FatType::Fat16 ? 0xFFF8
                                                                     : 0x0FFFFFF8;
    std::vector<bool> seen(static_cast<std::size_t>(last) + 1, false);
    std::uint32_t cluster = first;
    while (out.size() < limit) {
        if (cluster < 2 || cluster > last) return FatError::BadChain;
        if (seen[cluster]) return FatError::CyclicChain;
        seen[cluster] = true;
        out.push_back(cluster);
        const std::uint32_t next = fatEntry(cluster);
        if (next >= endMark) {
            complete = true;
            break;
        }
        cluster = next;
    }
    return FatError::Ok;
}

std::uint64_t FatVolume::clusterOffset(std::uint32_t cluster) const {
    return (geometry_.dataStartSector + std::uint64_t(cluster - 2) * geometry_.sectorsPerCluster) *
           geometry_.bytesPerSector;
}

FatEntry FatVolume::root() const {
    FatEntry e;  // no name: `root` tells it apart
    e.directory = true;
    e.root = true;
    e.firstCluster = geometry_.type == FatType::Fat32 ? geometry_.rootCluster : 0;
    return e;
}

FatError FatVolume::directoryBytes(const FatEntry& directory, std::vector<std::uint8_t>& out) {
    if (!directory.directory) return FatError::NotADirectory;
    if (directory.root && geometry_.type != FatType::Fat32) {
        const std::uint64_t at =
            (geometry_.reservedSectors + std::uint64_t(geometry_.fatCount) * geometry_.fatSectors) *
            geometry_.bytesPerSector;
        out.resize(std::size_t(geometry_.rootEntries) * kEntrySize);
        return source_.read(at, out) ? FatError::Ok : FatError::ReadFailed;
    }
    const std::uint32_t clusterBytes = geometry_.clusterBytes();
    std::vector<std::uint32_t> clusters;
    bool complete = false;
    const std::uint64_t limit = (kMaxDirectoryBytes + clusterBytes - 1) / clusterBytes;
    if (const FatError e = chain(directory.firstCluster, limit, clusters, complete);
        e != FatError::Ok)
        return e;
    if (!complete) return FatError::BadDirectory;
    out.resize(clusters.size() * std::size_t(clusterBytes));
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        if (!source_.read(clusterOffset(clusters[i]),
                          std::span(out.data() + i * clusterBytes, clusterBytes)))
            return FatError::ReadFailed;
    }
    return FatError::Ok;
}

FatError parseDirectory(std::span<const std::uint8_t> bytes, FatType type,
                        std::uint64_t volumeBytes, std::vector<FatEntry>& out) {
    out.clear();
    LongNameParts longName;
    for (std::size_t at = 0; at + kEntrySize <= bytes.size(); at += kEntrySize) {
        const std::uint8_t* e = bytes.data() + at;
        const auto slot = static_cast<std::uint32_t>(at / kEntrySize);
        if (e[0] == 0x00) break;
        if (e[0] == 0xE5) {
            longName.reset();
            continue;
        }
        const std::uint8_t attr = e[11];
        if ((attr & 0x3F) == kAttrLongName) {
            longName.add(e, slot);
            continue;
        }
        if (attr & kAttrVolume) {
            longName.reset();
            continue;
        }
        std::uint8_t name11[11];
        std::copy_n(e, 11, name11);
        if (name11[0] == 0x05) name11[0] = 0xE5;
        std::string base = shortNamePart(name11, 8, (e[12] & 0x08) != 0);
        const std::string ext = shortNamePart(name11 + 8, 3, (e[12] & 0x10) != 0);
        if (base == "." || base == "..") {
            longName.reset();
            continue;
        }
        FatEntry entry;
        entry.shortName = ext.empty() ? base : base + "." + ext;
        entry.firstSlot = slot;
        if (!longName.take(e, entry.name, entry.firstSlot) || entry.name.empty())
            entry.name = entry.shortName;
        entry.slotCount = slot - entry.firstSlot + 1;
        entry.directory = (attr & kAttrDirectory) != 0;
        entry.firstCluster = le16(e + 26);
        if (type == FatType::Fat32) entry.firstCluster |= std::uint32_t(le16(e + 20)) << 16;
        entry.size = le32(e + 28);
        if (entry.shortName.empty() || (entry.directory && entry.firstCluster < 2) ||
            (!entry.directory && entry.size > volumeBytes))
            return FatError::BadDirectory;
        out.push_back(std::move(entry));
    }
    return FatError::Ok;
}

FatError FatVolume::list(const FatEntry& directory, std::vector<FatEntry>& out) {
    out.clear();
    std::vector<std::uint8_t> bytes;
    if (const FatError e = directoryBytes(directory, bytes); e != FatError::Ok) return e;
    return parseDirectory(bytes, geometry_.type,
                          std::uint64_t(geometry_.clusterCount) * geometry_.clusterBytes(), out);
}

FatError FatVolume::find(std::string_view path, FatEntry& out) {
    FatEntry current = root();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::vector<FatEntry> entries;
        if (const FatError e = list(current, entries); e != FatError::Ok) return e;
        const auto hit = std::find_if(entries.begin(), entries.end(), [&](const FatEntry& f) {
            return sameFatName(f.name, part) || sameFatName(f.shortName, part);
        });
        if (hit == entries.end()) return FatError::NotFound;
        current = *hit;
    }
    out = current;
    return FatError::Ok;
}

FatError FatVolume::readFile(const FatEntry& file,
                             const std::function<bool(std::span<const std::uint8_t>)>& sink) {
    if (file.directory) return FatError::NotAFile;
    if (file.size == 0) return FatError::Ok;
    const std::uint32_t clusterBytes = geometry_.clusterBytes();
    const std::uint64_t needed = (std::uint64_t(file.size) + clusterBytes - 1) / clusterBytes;
    if (needed > geometry_.clusterCount) return FatError::BadDirectory;
    std::vector<std::uint32_t> clusters;
    bool complete = false;
    if (const FatError e = chain(file.firstCluster, needed, clusters, complete); e != FatError::Ok)
        return e;
    if (clusters.size() < needed) return FatError::BadChain;
    std::vector<std::uint8_t> buffer(clusterBytes);
    std::uint64_t left = file.size;
    for (std::uint32_t cluster : clusters) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, clusterBytes));
        if (!source_.read(clusterOffset(cluster), std::span(buffer.data(), n)))
            return FatError::ReadFailed;
        if (!sink(std::span<const std::uint8_t>(buffer.data(), n))) return FatError::ReadFailed;
        left -= n;
    }
    return FatError::Ok;
}

}  // namespace cv50::fwpkg
