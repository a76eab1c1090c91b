// Queries on a firmware image file: the check value, the versions and sizes it carries.
// Each opens and closes the file itself and keeps no state.
#pragma once

#include <cstdint>
#include <string>

#include "engine/device/records.h"
#include "engine/flash/image_tail.h"
#include "engine/flash/loader_file.h"

namespace cv50::flash {

inline constexpr std::size_t kCheckChunkSize = 1024;
inline constexpr std::size_t kCheckReadSize = 1 << 20;  // what one read takes

// What the upgrade may take from an image's tail block.
enum class TailCheck {
    SizesValid,  // tag present, CRC equal
    Refused,     // tag present, CRC different: the image must not be written
    NoSizeInfo,  // no tag: the image carries no sizes
    Unreadable,  // the file cannot be opened
};

// Reads the tail block of `imagePath` (an engine path) through the os seam: the 512 bytes
// that start 544 bytes before the end. False when the file cannot be opened; a file too
// short for a trailer gives a block without its tag.
[[nodiscard]] bool readTailBlock(const std::string& imagePath, TailBlock& out);
// The tail check of an upgrade; `fields` is filled when the result is SizesValid.
TailCheck checkImageTail(const std::string& imagePath, TailFields& fields);

// MD5 of the content read in 1024-byte chunks up to the end or up to the first read of
// exactly 32 bytes (not fed), compared with the 32 bytes at the end. Logs failures.
[[nodiscard]] bool checkImage(const std::string& imagePath);

// The image's system version (tail block) and the loader version of `loaderFile` into
// `out`; its four version fields start as 0xFFFF.
[[nodiscard]] bool versionFromImage(const std::string& imagePath, const std::string& loaderFile,
                                    _CORV_VERSION& out);

// The loader version of the loader inside the image, by way of a temporary copy that is
// deleted afterwards. `library` is the package library to load.
[[nodiscard]] bool loaderVersionOfImage(const std::string& imagePath, std::uint16_t& high,
                                        std::uint16_t& low,
                                        const std::string& library = kPackageLibrary);

[[nodiscard]] bool systemVersionOfImage(const std::string& imagePath, std::uint16_t& high,
                                        std::uint16_t& low);

// 0 found, -1 image unreadable, -2 no tag. The CRC is not checked here.
[[nodiscard]] int diskSizesOfImage(const std::string& imagePath, std::uint32_t& systemDiskMB,
                                   std::uint32_t& configDiskMB);

// The file size in whole MiB (truncating).
[[nodiscard]] bool imageSizeMB(const std::string& imagePath, std::uint32_t& sizeMB);

}  // namespace cv50::flash
