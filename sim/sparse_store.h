// Large simulated media (NAND chips, logical disks) kept sparse: fixed-size chunks that
// exist only once written; an absent chunk reads as the fill byte. Saved to and loaded
// from a stream for the state kept between runs.
#pragma once

#include <cstdint>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cv50::sim {

class SparseStore {
public:
    SparseStore(std::size_t chunkSize, std::uint8_t fill) : chunkSize_(chunkSize), fill_(fill) {}

    std::size_t chunkSize() const { return chunkSize_; }
    // Bytes of chunk `index` from `offset` on; the fill byte where nothing was written.
    void read(std::uint64_t index, std::size_t offset, std::span<std::uint8_t> out) const;
    // Chunk `index`, created filled when absent.
    std::span<std::uint8_t> chunk(std::uint64_t index);
    void drop(std::uint64_t index) { chunks_.erase(index); }
    void clear() { chunks_.clear(); }
    std::size_t chunksInUse() const { return chunks_.size(); }

    void save(std::ostream& out) const;
    // Replaces the contents; false with `error` set when the stream is not a store of this
    // chunk size or names a chunk at or beyond `chunkLimit`. Unchanged on failure.
    [[nodiscard]] bool load(std::istream& in, std::uint64_t chunkLimit, std::string& error);

private:
    std::size_t chunkSize_;
    std::uint8_t fill_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> chunks_;
};

// Little-endian integers of `bytes` bytes in state files.
void writeLe(std::ostream& out, std::uint64_t value, int bytes);
std::optional<std::uint64_t> readLe(std::istream& in, int bytes);

// The head of a state file: an 8-byte magic and a 4-byte version.
void writeStateHeader(std::ostream& out, const char (&magic)[8], std::uint64_t version);
// Opens `path` and reads its head; false with `error` set when it cannot be opened or is
// not a state file of this magic and version.
[[nodiscard]] bool openStateFile(std::ifstream& in, const std::string& path,
                                 const char (&magic)[8], std::uint64_t version, std::string& error);

// Writes a state file through a temporary beside it, so an interrupted save never leaves
// half a file where a good one was. False with `error` set on failure.
[[nodiscard]] bool saveStateFile(const std::string& path,
                                 const std::function<void(std::ostream&)>& write,
                                 std::string& error);

}  // namespace cv50::sim
