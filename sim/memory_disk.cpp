// The in-memory disk and its state file.
#include "sim/memory_disk.h"

#include <algorithm>
#include <fstream>

namespace cv50::sim {
namespace {

using fwpkg::kSectorBytes;

constexpr char kDiskMagic[8] = {'C', 'V', '5', '0', 'D', 'I', 'S', 'K'};
constexpr std::uint64_t kVersion = 1;

}  // namespace

MemoryDisk::MemoryDisk(std::uint32_t sectors)
    : sectors_(sectors), store_(std::size_t{kChunkSectors} * kSectorBytes, 0x00) {}

bool MemoryDisk::fits(std::uint64_t first, std::size_t bytes) const {
    return bytes % kSectorBytes == 0 && first <= sectors_ &&
           bytes / kSectorBytes <= sectors_ - first;
}

bool MemoryDisk::read(std::uint64_t first, std::span<std::uint8_t> out) {
    if (!fits(first, out.size())) return false;
    for (std::size_t done = 0; done < out.size(); done += kSectorBytes) {
        const std::uint64_t sector = first + done / kSectorBytes;
        store_.read(sector / kChunkSectors, std::size_t(sector % kChunkSectors) * kSectorBytes,
                    out.subspan(done, kSectorBytes));
    }
    return true;
}

bool MemoryDisk::write(std::uint64_t first, std::span<const std::uint8_t> in) {
    if (!fits(first, in.size())) return false;
    ++revision_;
    for (std::size_t done = 0; done < in.size(); done += kSectorBytes) {
        const std::uint64_t sector = first + done / kSectorBytes;
        auto chunk = store_.chunk(sector / kChunkSectors);
        std::copy_n(
            in.begin() + static_cast<std::ptrdiff_t>(done), kSectorBytes,
            chunk.begin() + static_cast<std::ptrdiff_t>(sector % kChunkSectors) * kSectorBytes);
    }
    return true;
}

bool MemoryDisk::save(const std::string& path, std::string& error) const {
    return saveStateFile(
        path,
        [&](std::ostream& out) {
            writeStateHeader(out, kDiskMagic, kVersion);
            writeLe(out, sectors_, 4);
            store_.save(out);
        },
        error);
}

bool MemoryDisk::load(const std::string& path, std::string& error) {
    std::ifstream in;
    if (!openStateFile(in, path, kDiskMagic, kVersion, error)) return false;
    if (readLe(in, 4) != sectors_) {
        error = path + ": the saved disk has another size than the scenario's";
        return false;
    }
    SparseStore store(store_.chunkSize(), 0x00);
    if (!store.load(in, (std::uint64_t{sectors_} + kChunkSectors - 1) / kChunkSectors, error)) {
        error = path + ": " + error;
        return false;
    }
    store_ = std::move(store);
    ++revision_;
    return true;
}

}  // namespace cv50::sim
