// The four FS_ functions of CV60FSDLL over the FAT reader.
#include "fwpkg/cv60fs.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "base/host.h"
#include "fwpkg/fat_reader.h"
#include "fwpkg/package_loader.h"

namespace cv50::fwpkg {
namespace {

struct Package {
    std::unique_ptr<FileSource> source;
    std::unique_ptr<FatVolume> volume;
    int openError = FsNotOpen;
};

std::mutex packageLock;
Package package;

std::string hostPath(const char* path) { return base::hostPath(path != nullptr ? path : ""); }

int errorOf(FatError e) {
    switch (e) {
        case FatError::Ok:
            return FsOk;
        case FatError::NotFound:
        case FatError::NotADirectory:
            return FsNotFound;
        case FatError::NotAFile:
            return FsNotAFile;
        default:
            return FsDamaged;
    }
}

}  // namespace
}  // namespace cv50::fwpkg

using namespace cv50::fwpkg;

extern "C" int FS_Initialize(const char* imagePath, int /*reserved1*/, int /*reserved2*/) {
    std::lock_guard lock(packageLock);
    package = Package{};
    package.source = FileSource::open(hostPath(imagePath));
    if (!package.source) return package.openError = FsOpenFailed;
    if (FatVolume::open(*package.source, package.volume) != FatError::Ok) {
        package.source.reset();
        return package.openError = FsBadImage;
    }
    return package.openError = FsOk;
}

extern "C" int FS_GetLoaderPath(char* buffer) {
    std::lock_guard lock(packageLock);
    if (buffer == nullptr || !package.volume) return 0;
    const std::string path = findLoaderPath(*package.volume);
    if (path.empty() || path.size() >= kLoaderPathCapacity) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return 1;
}

extern "C" int FS_WriteFileToPC(const char* source, const char* destination) {
    std::lock_guard lock(packageLock);
    if (!package.volume) return package.openError != FsOk ? package.openError : FsNotOpen;
    if (source == nullptr || destination == nullptr) return FsBadSourcePath;
    if (std::strlen(source) < 3 || (source[0] != 'C' && source[0] != 'c') || source[1] != ':' ||
        source[2] != '\\')
        return FsBadSourcePath;
    FatEntry entry;
    if (const FatError e = package.volume->find(source + 3, entry); e != FatError::Ok)
        return errorOf(e);
    if (entry.directory || entry.root) return FsNotAFile;

    // Read the whole file first, so a damaged image leaves no half-written destination.
    std::vector<std::uint8_t> content;
    content.reserve(entry.size);
    const FatError e = package.volume->readFile(entry, [&](std::span<const std::uint8_t> piece) {
        content.insert(content.end(), piece.begin(), piece.end());
        return true;
    });
    if (e != FatError::Ok) return errorOf(e);

    std::FILE* out = std::fopen(hostPath(destination).c_str(), "wb");
    if (out == nullptr) return FsCreateFailed;
    const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    const bool closed = std::fclose(out) == 0;
    return written && closed ? FsOk : FsWriteFailed;
}

extern "C" int FS_DeInitialize() {
    std::lock_guard lock(packageLock);
    package = Package{};
    return FsOk;
}
