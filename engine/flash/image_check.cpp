// The check value and the version and size queries of a firmware image.
#include "engine/flash/image_check.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "base/host.h"
#include "engine/device/log.h"
#include "engine/flash/boot_head.h"
#include "engine/flash/image_tail.h"
#include "engine/flash/loader_file.h"
#include "engine/flash/md5.h"
#include "engine/os/os.h"

namespace cv50::flash {

bool readTailBlock(const std::string& imagePath, TailBlock& out) {
    out = TailBlock{};
    os::UniqueFile file(os::current().openFile(imagePath, "rb"));
    if (!file) return false;
    if (std::fseek(file.get(), -static_cast<long>(kTrailerSize), SEEK_END) == 0)
        (void)std::fread(out.bytes.data(), 1, out.bytes.size(), file.get());
    return true;
}

TailCheck checkImageTail(const std::string& imagePath, TailFields& fields) {
    TailBlock block;
    if (!readTailBlock(imagePath, block)) return TailCheck::Unreadable;
    if (!block.hasTag()) return TailCheck::NoSizeInfo;
    if (block.storedCrc() != block.computedCrc()) return TailCheck::Refused;
    fields = block.fields();
    return TailCheck::SizesValid;
}

bool checkImage(const std::string& imagePath) {
    os::UniqueFile file(os::current().openFile(imagePath, "rb"));
    if (!file) {
        Log("Error:Open image file failed");
        return false;
    }
    char stored[kCheckValueSize] = {};
    if (std::fseek(file.get(), -static_cast<long>(kCheckValueSize), SEEK_END) != 0 ||
        std::fread(stored, 1, sizeof stored, file.get()) != sizeof stored) {
        Log("Error:Get old check value failed");
        return false;
    }
    file.reset(os::current().openFile(imagePath, "rb"));
    if (!file) {
        Log("Error:Open image file failed");
        return false;
    }
    // The digest covers the file read in 1024-byte chunks up to the first read of exactly the
    // check value's 32 bytes: everything but a last partial chunk of 32 bytes. Read in large
    // pieces, that is the same bytes.
    const std::optional<std::uint64_t> size = base::fileLength(file.get());
    if (!size || !base::seekFile(file.get(), 0)) {
        Log("Error:Open image file failed");
        return false;
    }
    std::uint64_t toFeed = *size;
    if (toFeed % kCheckChunkSize == kCheckValueSize) toFeed -= kCheckValueSize;
    Md5 md5;
    std::vector<std::uint8_t> piece(kCheckReadSize);
    while (toFeed > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), toFeed));
        const std::size_t n = std::fread(piece.data(), 1, want, file.get());
        md5.update(std::span(piece.data(), n));
        if (n < want) break;  // the file ended early, as the chunked read would have found
        toFeed -= n;
    }
    file.reset();
    const std::string computed = Md5::hex(md5.finish());
    if (std::memcmp(computed.data(), stored, kCheckValueSize) != 0) {
        Log("Error:Check value is wrong");
        return false;
    }
    return true;
}

bool versionFromImage(const std::string& imagePath, const std::string& loaderFile,
                      _CORV_VERSION& out) {
    out.loaderLow = out.loaderHigh = out.systemLow = out.systemHigh = 0xFFFF;
    TailBlock tail;
    if (!readTailBlock(imagePath, tail)) {
        Log("Error:Open image file failed");
        return false;
    }
    if (!tail.hasTag()) {
        Log("Image not include version information");
        return false;
    }
    const std::uint32_t system = tail.fields().systemVersion;
    out.systemHigh = static_cast<std::uint16_t>(system >> 16);
    out.systemLow = static_cast<std::uint16_t>(system);
    BootHead head;
    if (!readBootHead(loaderFile, head)) {
        Log("Error:Get Loader version failed");
        return false;
    }
    const LoaderVersion loader = loaderVersion(head);
    out.loaderHigh = loader.high;
    out.loaderLow = loader.low;
    return true;
}

bool loaderVersionOfImage(const std::string& imagePath, std::uint16_t& high, std::uint16_t& low,
                          const std::string& library) {
    const std::string loaderFile = bootTempFolder() + kLoaderFileName;
    if (!extractLoaderFile(imagePath, loaderFile, library)) {
        (void)os::current().deleteFile(loaderFile);
        return false;
    }
    BootHead head;
    const bool ok = readBootHead(loaderFile, head);
    (void)os::current().deleteFile(loaderFile);
    if (!ok) return false;
    const LoaderVersion version = loaderVersion(head);
    high = version.high;
    low = version.low;
    return true;
}

bool systemVersionOfImage(const std::string& imagePath, std::uint16_t& high, std::uint16_t& low) {
    TailBlock tail;
    if (!readTailBlock(imagePath, tail) || !tail.hasTag()) return false;
    const std::uint32_t system = tail.fields().systemVersion;
    high = static_cast<std::uint16_t>(system >> 16);
    low = static_cast<std::uint16_t>(system);
    return true;
}

int diskSizesOfImage(const std::string& imagePath, std::uint32_t& systemDiskMB,
                     std::uint32_t& configDiskMB) {
    TailBlock tail;
    if (!readTailBlock(imagePath, tail)) return -1;
    if (!tail.hasTag()) return -2;
    const TailFields fields = tail.fields();
    systemDiskMB = fields.systemDiskMB;
    configDiskMB = fields.configDiskMB;
    return 0;
}

bool imageSizeMB(const std::string& imagePath, std::uint32_t& sizeMB) {
    const std::optional<std::uint64_t> size = os::current().fileSize(imagePath);
    if (!size) return false;
    sizeMB = static_cast<std::uint32_t>(*size / 1024 / 1024);
    return true;
}

}  // namespace cv50::flash
