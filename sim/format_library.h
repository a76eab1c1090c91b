// The simulator's stand-in for the system's format library: its FormatEx formats the
// simulated volume of the drive it is given, FAT32 with the label asked for.
#pragma once

#include <string>

#include "engine/os/os.h"

namespace cv50::sim {

class SimOs;

// What loadLibrary gives for the format library. Odd, so no loaded module has it.
inline constexpr os::Handle kFormatLibraryHandle = 0xF3A7;

// Whether `name` names the format library: "fmifs.dll" or "fmifs" in any case, in any folder.
bool isFormatLibraryName(const std::string& name);

// The address of the stand-in FormatEx; its calls are answered by `host` from now on.
void* formatExFunction(SimOs& host);
// `host` is going away: calls from now on fail, as on a volume that is not there. Waits
// for a format that `host` is running.
void forgetFormatHost(const SimOs& host);

}  // namespace cv50::sim
