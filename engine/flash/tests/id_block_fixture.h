// Test inputs for ID Block images: every field distinct, files of a chosen size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/flash/id_block.h"
#include "sim/testing/test_files.h"

namespace cv50::flash::testing {

using sim::testing::patternBytes;

inline IdBlockFields sampleFields(std::size_t flashBootBytes = 1500) {
    IdBlockFields f;
    f.loaderWords = {0x2024, 0x0611, 0x0203};
    f.reserved1First = 10;
    f.reserved1Last = 14;
    f.reserved2First = 15;
    f.reserved2Last = 17;
    f.idbBlocks = {0, 1, 2, 3, 5};
    for (std::size_t i = 0; i < f.chipInfo.size(); ++i)
        f.chipInfo[i] = static_cast<std::uint8_t>(0xA0 + i);
    f.chipSizeMB = 1024;
    f.blockKB = 128;
    f.pageKB = 2;
    f.geometryA = 0x5C;
    f.geometryB = 0x3E;
    f.blockSectors = 256;
    f.diskSizesMB = {60, 300, 0, 7};
    f.snData = patternBytes(21, 0x30);
    f.hasMac = true;
    f.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    f.flashData = patternBytes(300, 0x11);
    f.flashBoot = patternBytes(flashBootBytes, 0x42);
    return f;
}

}  // namespace cv50::flash::testing
