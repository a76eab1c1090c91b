// The engineering tool's "Setting.ini" beside the program, read once at start.
#pragma once

#include <cstdint>
#include <string>

namespace cv50::engineering {

struct Settings {
    std::uint16_t corvUsbVid = 0x071B, corvUsbPid = 0x3201;
    std::uint16_t corvMscVid = 0x071B, corvMscPid = 0x3203;
    bool supportUsb11 = false;
    bool forceErase = false;
    bool autoUpgrade = false;
    int upgradeTimes = 0;
    int debugLevel = 1;
    std::string defaultImage;
    std::string diskVolume;
    std::string defaultDemoDir;
    std::string partition;
    bool logEnabled = false;
    // False when the file could be neither opened nor created; the defaults then differ
    // (force erase and the serial number ticked, a repeat count of 1).
    bool opened = true;
    bool serialTicked = false;
};

// Reads `programFolder` + "Setting.ini" (created empty when missing).
Settings LoadSettings(const std::string& programFolder);

}  // namespace cv50::engineering
