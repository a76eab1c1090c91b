// Trees of files for the FAT tests, and images of them in memory.
#pragma once

#include <string>
#include <vector>

#include "fwpkg/fat_reader.h"
#include "fwpkg/fat_writer.h"
#include "sim/testing/test_files.h"

namespace cv50::fwpkg::testing {

using sim::testing::patternBytes;

inline FatNode file(const std::string& name, std::vector<std::uint8_t> bytes) {
    FatNode n;
    n.name = name;
    n.bytes = std::move(bytes);
    return n;
}

inline FatNode folder(const std::string& name, std::vector<FatNode> children) {
    FatNode n;
    n.name = name;
    n.directory = true;
    n.children = std::move(children);
    return n;
}

inline std::vector<std::uint8_t> imageOf(const FatNode& root, const FatWriteOptions& options = {}) {
    std::vector<std::uint8_t> out;
    writeFatImage(root, options, [&](std::span<const std::uint8_t> b) {
        out.insert(out.end(), b.begin(), b.end());
        return true;
    });
    return out;
}

inline FatError readAll(FatVolume& volume, const FatEntry& entry, std::vector<std::uint8_t>& out) {
    out.clear();
    return volume.readFile(entry, [&](std::span<const std::uint8_t> b) {
        out.insert(out.end(), b.begin(), b.end());
        return true;
    });
}

}  // namespace cv50::fwpkg::testing
