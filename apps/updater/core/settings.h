// The updater's "setting.ini" beside the program, read once while the main dialog starts
// (ERASE_IDB again at each Repair), with the wide profile calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cv50::updater {

struct Settings {
    // [DEVICE_ID] and [MSC_ID]; 0 when missing, and passed on as such.
    std::uint16_t corvUsbVid = 0, corvUsbPid = 0;
    std::uint16_t corvMscVid = 0, corvMscPid = 0;
    std::u16string corvUsbName = u"Corv USB";
    std::u16string corvMscName = u"CV50 SDK";
    // [DEBUG] PRINT_LOG = 1.
    bool printLog = false;
    // [SYSTEM]
    bool supportUsb11 = false;
    std::u16string firmware;
    std::u16string partition;
    std::u16string diskVolume;
    std::u16string homepage;
    std::u16string imageExtension = u"IMG";
    std::u16string appTitle = u"CV50 Device Manager";
    std::u16string language = u"English";
};

// The file beside the program.
std::u16string settingsFile(const std::u16string& programFolder);

// `file` opened for appending first (a missing one is created empty); nothing when even that
// fails. A key that is missing or empty keeps its default.
std::optional<Settings> LoadSettings(const std::u16string& file);

// [SYSTEM] ERASE_IDB is exactly 1; false when the file cannot be opened.
bool EraseIdbRequested(const std::u16string& file);

}  // namespace cv50::updater
