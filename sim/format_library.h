// The simulator's stand-in for the system's format library: its FormatEx formats the
// simulated volume of the drive it is given, FAT32 with the label asked for.
#pragma once

#include <string>

#include "engine/os/os.h"

namespace cv50::sim {

// What loadLibrary gives for the format library. Odd, so no loaded module has it.
inline constexpr os::Handle kFormatLibraryHandle = 0xF3A7;

// Whether `name` names the format library: "fmifs.dll" or "fmifs" in any case, in any folder.
bool isFormatLibraryName(const std::string& name);

// The address of the stand-in FormatEx. It formats through the process's backend, which
// must be a simulator for a format to succeed.
void* formatExFunction();

}  // namespace cv50::sim
