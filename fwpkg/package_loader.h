// Where a firmware package keeps its loader file "CVBOOT.BIN": names compared without ASCII
// case (long or 8.3), first in the root directory, then in each directory of the root in
// on-disk order; the first file found wins.
#pragma once

#include <string>

#include "fwpkg/fat_reader.h"

namespace cv50::fwpkg {

inline constexpr char kLoaderName[] = "CVBOOT.BIN";

// The loader's path inside the volume, components joined by "\" and without a leading
// one ("CVBOOT.BIN", "SYSTEM\CVBOOT.BIN"); empty when there is none.
std::string findLoaderPath(FatVolume& volume);

}  // namespace cv50::fwpkg
