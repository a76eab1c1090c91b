// The packer: loader files from their four pieces, firmware images from a loader file and
// a folder (FAT image, padding, tail block, check value), and sample pieces for tests and
// demos. Errors are thrown as std::runtime_error with a message for the user.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/flash/boot_head.h"
#include "engine/flash/image_tail.h"
#include "fwpkg/fat_writer.h"

namespace cv50::fwpkg {

struct LoaderPackInput {
    std::filesystem::path data, prog, prog2nd, flashBoot;
    std::array<std::uint16_t, 3> dates{};  // year, month, day; each 0-9999
    std::uint32_t versionHigh = 0;         // 0-9999
    std::uint32_t versionLow = 0;          // 0-9999
};

// Writes the loader file `out`; returns its size.
std::uint64_t packLoader(const LoaderPackInput& input, const std::filesystem::path& out);

struct ImagePackInput {
    std::filesystem::path loaderFile;  // stored in the root as "CVBOOT.BIN"
    std::filesystem::path folder;      // its contents go into the root too; may be empty
    FatWriteOptions fat;
    flash::TailFields tail;
    std::string tag = flash::kTailTag;  // at most 7 characters
    std::optional<std::uint32_t> crc;   // instead of the computed one
};

struct PackedImage {
    std::uint64_t fatBytes = 0;    // the file system
    std::uint64_t totalBytes = 0;  // the whole image file
    std::string checkValue;
};

// The content before the check value is a whole number of these: the check value is taken
// over 1024-byte chunks, and the download streams 16 KiB pieces and knows the trailer only as
// a last piece of exactly 32 bytes.
inline constexpr std::uint64_t kImageAlignment = 16384;

// Writes the image `out`: the FAT image, zeros up to a size that with the tail block
// makes whole 16 KiB pieces, the tail block, then the MD5 of all of that as 32
// lowercase hexadecimal characters. A failed pack removes `out`.
PackedImage packImage(const ImagePackInput& input, const std::filesystem::path& out);

// A made-up piece with a readable head and deterministic content.
std::vector<std::uint8_t> samplePiece(flash::Piece piece);
// Writes data.bin, prog.bin, prog2nd.bin and FlashBoot.bin of samplePiece into `folder`.
void writeSamplePieces(const std::filesystem::path& folder);
// A loader file of the sample pieces, version 1.23, dated 2008-12-20.
std::vector<std::uint8_t> sampleLoaderFile();

// Reads a whole host file of at most `limit` bytes.
std::vector<std::uint8_t> readHostFile(const std::filesystem::path& path, std::uint64_t limit);

}  // namespace cv50::fwpkg
