// Formatting a sector device FAT32, and putting files and folders onto a FAT32 volume in
// place: what the system's format and copy do to a player's disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fwpkg/fat_names.h"
#include "fwpkg/fat_reader.h"
#include "fwpkg/sector_device.h"

namespace cv50::fwpkg {

// The outcome of an edit: ok, or what went wrong in words.
struct [[nodiscard]] FatResult {
    bool ok = true;
    std::string message;

    static FatResult failed(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

struct Fat32FormatOptions {
    std::string label;               // at most 11 characters, as volumeLabelName takes them
    std::uint32_t clusterBytes = 0;  // 512 to 32768, or 0 to choose by the volume's size
    std::uint32_t volumeId = 0x0C50F032;
    DosStamp stamp;  // of the label entry
};

// The cluster size a FAT32 format chooses for a volume of `sectors` sectors.
std::uint32_t defaultFat32ClusterBytes(std::uint64_t sectors);

// Makes the whole of `device` an empty FAT32 volume: boot sector, FSInfo and their backups,
// two FATs, and the root folder holding the label. Fails for a device too small to hold
// the clusters FAT32 needs, or too large for its 32-bit sector count.
FatResult formatFat32(SectorDevice& device, const Fat32FormatOptions& options);

class FatTable;

// Edits a FAT32 volume in place. Paths name folders from the root, separated by "\" or
// "/"; names are compared without regard to ASCII case, with the long or the 8.3 name.
// Every operation leaves the FATs and the FSInfo free count right when it returns, also
// when it fails.
class FatEditor {
public:
    // Opens the volume on `device`, which must outlive the editor; checks it with the reader.
    static FatResult open(SectorDevice& device, std::unique_ptr<FatEditor>& out);
    ~FatEditor();
    FatEditor(const FatEditor&) = delete;
    FatEditor& operator=(const FatEditor&) = delete;

    const FatGeometry& geometry() const { return geometry_; }
    std::uint32_t freeClusters() const;
    // The time written into the entries made from now on.
    void setStamp(DosStamp stamp) { stamp_ = stamp; }

    // Fills `buffer` with the next bytes of a file: the count, 0 at the end, or nothing when
    // reading fails.
    using ReadBytes = std::function<std::optional<std::size_t>(std::span<std::uint8_t> buffer)>;

    // Writes the bytes `read` gives as the file `path`, making the folders on the way. A file
    // of that name is replaced and keeps its spelling; it is removed first, as an overwrite
    // would, so a failed write leaves neither the old nor a partial file.
    FatResult addFile(std::string_view path, const ReadBytes& read);
    // The host file `host` as the file `path`.
    FatResult addHostFile(const std::filesystem::path& host, std::string_view path);
    // What the host folder `host` holds, with its sub-folders, into the folder `path` (""
    // for the root); stops at the first failure.
    FatResult addHostFolder(const std::filesystem::path& host, std::string_view path);
    // The folder `path` and the folders on the way, where missing.
    FatResult makeFolder(std::string_view path);

private:
    struct Folder;

    FatEditor(SectorDevice& device, const FatGeometry& geometry, std::unique_ptr<FatTable> table);
    FatResult loadFolder(std::uint32_t firstCluster, Folder& out);
    FatResult parseEntries(Folder& folder) const;
    FatResult openFolder(std::span<const std::string> names, bool create, Folder& out);
    FatResult makeChildFolder(Folder& parent, const std::string& name, std::uint32_t& cluster);
    FatResult insertEntry(Folder& folder, const std::string& name, std::uint8_t attributes,
                          std::uint32_t cluster, std::uint32_t size);
    FatResult removeEntry(Folder& folder, const FatEntry& entry);
    FatResult growFolder(Folder& folder);
    FatResult saveSlots(const Folder& folder, std::uint32_t firstSlot, std::uint32_t count);
    FatResult writeContent(const ReadBytes& read, std::uint32_t& firstCluster, std::uint32_t& size);
    FatResult writeCluster(std::uint32_t cluster, std::span<const std::uint8_t> bytes);
    std::uint64_t clusterSector(std::uint32_t cluster) const;
    FatResult finish(FatResult result);

    SectorDevice& device_;
    FatGeometry geometry_;
    std::unique_ptr<FatTable> table_;
    DosStamp stamp_;
};

}  // namespace cv50::fwpkg
