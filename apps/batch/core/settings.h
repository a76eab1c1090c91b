// The production tool's "setting.ini" beside the program, read once at start; the tool
// never writes it.
#pragma once

#include <cstdint>
#include <string>

namespace cv50::batch {

struct Settings {
    bool forceErase = true;
    bool supportUsb11 = false;
    std::uint16_t corvUsbVid = 0x071B, corvUsbPid = 0x3228;
    std::uint16_t corvMscVid = 0x071B, corvMscPid = 0x3203;
    std::string partition;
    std::string defaultImage;
    std::string defaultDemoDir;
    std::string diskVolume;
    bool logEnabled = false;
    std::string language = "English";
    // False when the file could be neither opened nor created: every value is its default
    // and no language file is looked for.
    bool opened = true;
};

// Reads `programFolder` + "setting.ini" (created empty when missing).
Settings LoadSettings(const std::string& programFolder);

}  // namespace cv50::batch
