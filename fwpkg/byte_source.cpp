// Bounded reads from a buffer or a file.
#include "fwpkg/byte_source.h"

#include <cstring>

#include "base/host.h"

namespace cv50::fwpkg {
namespace {

bool inside(std::uint64_t offset, std::size_t count, std::uint64_t size) {
    return offset <= size && count <= size - offset;
}

}  // namespace

bool MemorySource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!inside(offset, out.size(), bytes_.size())) return false;
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

std::unique_ptr<FileSource> FileSource::open(const std::string& hostPath) {
    std::FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (f == nullptr) return nullptr;
    const std::optional<std::uint64_t> end = base::fileLength(f);
    if (!end) {
        std::fclose(f);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(f, *end));
}

FileSource::~FileSource() { std::fclose(file_); }

bool FileSource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!inside(offset, out.size(), size_)) return false;
    if (out.empty()) return true;
    return base::seekFile(file_, offset) &&
           std::fread(out.data(), 1, out.size(), file_) == out.size();
}

}  // namespace cv50::fwpkg
