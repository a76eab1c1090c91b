// Writing a firmware image to a loader's logical disk from sector 0 on, then reading it back
// and comparing. The image is streamed in 16 KiB pieces through two fixed buffers; its
// 32-byte check value at the end is never written.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace cv50::flash {

inline constexpr std::size_t kImagePiece = 16384;

enum class ImagePhase { Written, Checked };

// Called on the downloading thread after every piece written and every piece checked:
// file bytes done so far in that phase, and the bytes the phase covers (the file without
// its check value; 0 when the file size cannot be read).
using ImageProgress =
    std::function<void(ImagePhase phase, std::uint64_t done, std::uint64_t total)>;

// Told of a difference found by the verify, before the download fails with -9: the piece's
// first sector and sector count, its bytes as the file has them (zero-padded to whole
// sectors) and as the device returned them, and the file bytes checked before it.
using ImageMismatch = std::function<void(
    std::uint32_t firstSector, std::uint32_t sectors, std::span<const std::uint8_t> fromFile,
    std::span<const std::uint8_t> fromDevice, std::uint64_t checked)>;

// 0, or -1 .. -10 (open, seek, empty, write, piece length, seek, empty, read, compare,
// piece length).
int DownloadImage(const std::string& devicePath, const std::string& imagePath,
                  const ImageProgress& progress = {}, const ImageMismatch& mismatch = {});
// The same for the image workers of a multi-device upgrade: messages name the Layer.
int DownloadImageLayer(const std::string& devicePath, const std::string& layer,
                       const std::string& imagePath, const ImageProgress& progress = {});

}  // namespace cv50::flash
