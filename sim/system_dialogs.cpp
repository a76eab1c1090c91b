#include "sim/system_dialogs.h"

#include "sim/text.h"

namespace cv50::sim {
namespace {

struct TableEntry {
    os::Handle library;
    unsigned id;
    const char* text;
};

// The simulated system's wording; a real system has its own, in its own language.
constexpr TableEntry kStrings[] = {
    {kNewDeviceLibraryHandle, 2040, "New Hardware Assistant"},
    {kNewDeviceLibraryHandle, 2113, "This assistant installs software for a new device:"},
    {kNewDeviceLibraryHandle, 2123, "New Device Detected"},
    {kNewDeviceLibraryHandle, 2205, "Locate and install the driver software(&L)"},
    {kShellLibraryHandle, 12707, "Driver Publisher Check"},
};

std::string text(os::Handle library, unsigned id) { return systemString(library, id).value_or(""); }

}  // namespace

std::optional<os::Handle> systemLibraryHandle(const std::string& path) {
    if (equalNoCase(path, std::string(kSystemFolder) + "newdev.dll")) return kNewDeviceLibraryHandle;
    if (equalNoCase(path, std::string(kSystemFolder) + "shell32.dll")) return kShellLibraryHandle;
    return std::nullopt;
}

std::optional<std::string> systemString(os::Handle library, unsigned id) {
    for (const TableEntry& e : kStrings)
        if (e.library == library && e.id == id) return std::string(e.text);
    return std::nullopt;
}

DialogText newHardwareDialog(os::WindowsVersion windows) {
    if (windows.major < 6)
        return {text(kNewDeviceLibraryHandle, 2040),
                {{text(kNewDeviceLibraryHandle, 2113), false},
                 {"CV50 player", false},
                 {"Next >", true},
                 {"Cancel", true}}};
    return {text(kNewDeviceLibraryHandle, 2123),
            {{"A driver is needed for CV50 player.", false},
             {text(kNewDeviceLibraryHandle, 2205), true},
             {"Ask me again later(&A)", true},
             {"Cancel", true}}};
}

DialogText signingDialog() {
    return {text(kShellLibraryHandle, 12707),
            {{"The publisher of this driver software cannot be checked.", false},
             {"Do not install this driver software(&N)", true},
             {"Install this driver software anyway(&I)", true}}};
}

}  // namespace cv50::sim
