// Bounded reads from a buffer or a file.
#include "fwpkg/byte_source.h"

#include <cstring>

namespace cv50::fwpkg {
namespace {

bool inside(std::uint64_t offset, std::size_t count, std::uint64_t size) {
    return offset <= size && count <= size - offset;
}

bool seek(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
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
#ifdef _WIN32
    const bool ended = _fseeki64(f, 0, SEEK_END) == 0;
    const long long end = ended ? _ftelli64(f) : -1;
#else
    const bool ended = fseeko(f, 0, SEEK_END) == 0;
    const long long end = ended ? static_cast<long long>(ftello(f)) : -1;
#endif
    if (end < 0) {
        std::fclose(f);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(f, static_cast<std::uint64_t>(end)));
}

FileSource::~FileSource() { std::fclose(file_); }

bool FileSource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!inside(offset, out.size(), size_)) return false;
    if (out.empty()) return true;
    return seek(file_, offset) && std::fread(out.data(), 1, out.size(), file_) == out.size();
}

}  // namespace cv50::fwpkg
