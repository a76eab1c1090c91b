// Sparse chunk storage and its state-file form.
#include "sim/sparse_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

namespace cv50::sim {

void SparseStore::read(std::uint64_t index, std::size_t offset, std::span<std::uint8_t> out) const {
    auto it = chunks_.find(index);
    if (it == chunks_.end()) {
        std::fill(out.begin(), out.end(), fill_);
        return;
    }
    std::copy_n(it->second.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

std::span<std::uint8_t> SparseStore::chunk(std::uint64_t index) {
    auto [it, added] = chunks_.try_emplace(index);
    if (added) it->second.assign(chunkSize_, fill_);
    return it->second;
}

void writeLe(std::ostream& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

std::optional<std::uint64_t> readLe(std::istream& in, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) return std::nullopt;
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(c)) << (8 * i);
    }
    return v;
}

void SparseStore::save(std::ostream& out) const {
    writeLe(out, chunkSize_, 8);
    writeLe(out, chunks_.size(), 8);
    for (const auto& [index, bytes] : chunks_) {
        writeLe(out, index, 8);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

bool SparseStore::load(std::istream& in, std::uint64_t chunkLimit, std::string& error) {
    const auto size = readLe(in, 8);
    const auto count = readLe(in, 8);
    if (!size || !count) {
        error = "the file ends early";
        return false;
    }
    if (*size != chunkSize_) {
        error = "the file holds chunks of " + std::to_string(*size) + " bytes, not " +
                std::to_string(chunkSize_);
        return false;
    }
    if (*count > chunkLimit) {
        error = "the file names more chunks than the medium has";
        return false;
    }
    std::map<std::uint64_t, std::vector<std::uint8_t>> loaded;
    for (std::uint64_t i = 0; i < *count; ++i) {
        const auto index = readLe(in, 8);
        if (!index || *index >= chunkLimit || loaded.count(*index)) {
            error = index ? "the file names a chunk twice or beyond the medium" : "the file ends early";
            return false;
        }
        std::vector<std::uint8_t> bytes(chunkSize_);
        if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
            error = "the file ends early";
            return false;
        }
        loaded.emplace(*index, std::move(bytes));
    }
    chunks_ = std::move(loaded);
    return true;
}

void writeStateHeader(std::ostream& out, const char (&magic)[8], std::uint64_t version) {
    out.write(magic, 8);
    writeLe(out, version, 4);
}

bool openStateFile(std::ifstream& in, const std::string& path, const char (&magic)[8],
                   std::uint64_t version, std::string& error) {
    in.open(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the file";
        return false;
    }
    char got[8] = {};
    if (!in.read(got, 8) || !std::equal(got, got + 8, magic) || readLe(in, 4) != version) {
        error = path + ": not a state file of this kind and version";
        return false;
    }
    return true;
}

bool saveStateFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                   std::string& error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = temporary + ": cannot create the file";
            return false;
        }
        write(out);
        out.flush();
        if (!out) {
            error = temporary + ": cannot write the file";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        // Some runtimes refuse to rename over an existing file.
        ec.clear();
        std::filesystem::remove(path, ec);
        std::filesystem::rename(temporary, path, ec);
    }
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = path + ": cannot replace the file";
        return false;
    }
    return true;
}

}  // namespace cv50::sim
