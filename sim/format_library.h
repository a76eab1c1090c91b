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

// The address of the stand-in FormatEx; `host` answers its calls from now on. Once `host`
// is gone, the process's backend answers when it is a simulator.
void* formatExFunction(SimOs& host);
// `host` is going away; waits for a format it is running.
void forgetFormatHost(const SimOs& host);

}  // namespace cv50::sim
