// A reader for FAT12, FAT16 and FAT32 file system images that trusts no field of the
// image: every size, cluster number and chain is checked against the image itself, so a
// damaged or hostile image gives an error, never a read outside it or an endless walk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fwpkg/byte_source.h"

namespace cv50::fwpkg {

enum class FatType { Fat12 = 12, Fat16 = 16, Fat32 = 32 };

enum class FatError {
    Ok = 0,
    Truncated,      // the volume claims more bytes than the image has
    BadBootSector,  // signature, jump or BPB fields that no FAT volume has
    BadChain,       // a cluster out of range, free or bad inside a chain, or a chain too short
    CyclicChain,    // a chain that comes back to one of its own clusters
    BadDirectory,   // a directory entry or directory that cannot be right
    NotFound,
    NotAFile,
    NotADirectory,
    ReadFailed,  // the image could not be read, or the consumer stopped
};
const char* describe(FatError error);

struct FatGeometry {
    FatType type = FatType::Fat12;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t reservedSectors = 0;
    std::uint32_t fatCount = 0;
    std::uint32_t rootEntries = 0;  // FAT12/16 only
    std::uint64_t totalSectors = 0;
    std::uint64_t fatSectors = 0;  // of one FAT
    std::uint64_t dataStartSector = 0;
    std::uint32_t clusterCount = 0;  // data clusters, numbered 2 .. clusterCount + 1
    std::uint32_t rootCluster = 0;   // FAT32 only
    std::string label;               // from the boot sector, trailing spaces removed

    std::uint32_t clusterBytes() const { return bytesPerSector * sectorsPerCluster; }
};

struct FatEntry {
    std::string name;       // the long name (UTF-8) when there is one, else the short name
    std::string shortName;  // "NAME.EXT"
    bool directory = false;
    bool root = false;  // the root folder, which has no name
    std::uint32_t firstCluster = 0;
    std::uint32_t size = 0;
    // Where the entry sits in its directory, in 32-byte slots, its long-name parts included.
    std::uint32_t firstSlot = 0;
    std::uint32_t slotCount = 0;
};

// Whether two names are the same entry's name: equal without regard to ASCII case.
bool sameFatName(std::string_view a, std::string_view b);

// The entries in a directory's bytes, as FatVolume::list gives them. `volumeBytes` bounds
// the size a file may claim.
FatError parseDirectory(std::span<const std::uint8_t> bytes, FatType type,
                        std::uint64_t volumeBytes, std::vector<FatEntry>& out);

class FatVolume {
public:
    // Checks the boot sector and loads the first FAT. `source` must outlive the volume.
    static FatError open(ByteSource& source, std::unique_ptr<FatVolume>& out);

    const FatGeometry& geometry() const { return geometry_; }
    FatEntry root() const;

    // The entries of a directory in their on-disk order, without "." and ".." and the
    // volume label.
    FatError list(const FatEntry& directory, std::vector<FatEntry>& out);
    // An entry by path from the root; components are separated by "\" or "/" and compared
    // without regard to ASCII case, with the long or the short name.
    FatError find(std::string_view path, FatEntry& out);
    // Hands the file's bytes to `sink` in pieces of at most one cluster; `sink` returns
    // false to stop (ReadFailed).
    FatError readFile(const FatEntry& file,
                      const std::function<bool(std::span<const std::uint8_t>)>& sink);

private:
    FatVolume(ByteSource& source, const FatGeometry& geometry)
        : source_(source), geometry_(geometry) {}
    FatError loadFat();
    std::uint32_t fatEntry(std::uint32_t cluster) const;
    // Up to `limit` clusters of the chain starting at `first`; `complete` tells whether
    // the chain ended (end mark) within the limit.
    FatError chain(std::uint32_t first, std::uint64_t limit, std::vector<std::uint32_t>& out,
                   bool& complete);
    FatError directoryBytes(const FatEntry& directory, std::vector<std::uint8_t>& out);
    std::uint64_t clusterOffset(std::uint32_t cluster) const;

    ByteSource& source_;
    FatGeometry geometry_;
    std::vector<std::uint8_t> fat_;
};

}  // namespace cv50::fwpkg
