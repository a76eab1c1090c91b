// The simulated system's own libraries that the driver installation reads strings from
// (the new-device library and the shell library), and the dialogs the system opens with
// those strings: the new-hardware window and the driver-signing question.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"
#include "sim/desktop.h"

namespace cv50::sim {

// What loadLibrary gives for them. Odd, so no loaded module has them.
inline constexpr os::Handle kNewDeviceLibraryHandle = 0xDE7B;
inline constexpr os::Handle kShellLibraryHandle = 0x5E11;

inline constexpr const char* kSystemFolder = "C:\\Windows\\System32\\";

// The handle of the system library that `path` loads, or nothing. Only the copies in the
// system folder count: a "newdev.dll" found anywhere else is not the system's.
std::optional<os::Handle> systemLibraryHandle(const std::string& path);

// A string of one of those libraries' tables, or nothing.
std::optional<std::string> systemString(os::Handle library, unsigned id);

struct DialogText {
    std::string title;
    std::vector<SimDesktop::Control> controls;
};
// The window the system opens for a device without a driver, as each Windows generation
// words it.
DialogText newHardwareDialog(os::WindowsVersion windows);
// The question whether to install a driver whose publisher cannot be checked (Windows 6
// and later); its first button installs anyway.
DialogText signingDialog();

}  // namespace cv50::sim
