// Builds a FAT12, FAT16 or FAT32 file system image from a tree of files, with long names
// and generated 8.3 names, written front to back into a sink (no seeking, so the image
// can be hashed while it is written). The output is the same for the same input.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace cv50::fwpkg {

// A file or folder to put into the image.
struct FatNode {
    std::string name;  // UTF-8
    bool directory = false;
    // A file's content: `bytes`, or the host file `hostFile` when it is set.
    std::vector<std::uint8_t> bytes;
    std::filesystem::path hostFile;
    std::uint64_t size = 0;  // of hostFile, as seen when the tree was made
    std::vector<FatNode> children;
};

// The files and folders under `folder`, recursively. Throws std::runtime_error naming
// what cannot be used (unreadable entries, links to elsewhere are followed).
FatNode treeFromFolder(const std::filesystem::path& folder);

struct FatWriteOptions {
    int fatType = 0;                   // 12, 16, 32, or 0 to choose by size
    std::string label = "CV50SYSTEM";  // at most 11 characters
    std::uint32_t volumeId = 0x0C500001;
};

using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Writes the image of `root`'s children into `sink`; returns the number of bytes written.
// Throws std::runtime_error with a message for names, sizes or a type that cannot be
// written, a host file that changed or cannot be read, or a sink that fails.
std::uint64_t writeFatImage(const FatNode& root, const FatWriteOptions& options,
                            const ByteSink& sink);

}  // namespace cv50::fwpkg
