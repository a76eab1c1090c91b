#include "apps/updater/core/settings.h"

#include "apps/common/settings_values.h"
#include "engine/os/os.h"

namespace cv50::updater {
namespace {

constexpr std::size_t kTextSize = 260;
constexpr std::size_t kLanguageSize = 101;  // 100 characters and the NUL

}  // namespace

std::u16string settingsFile(const std::u16string& programFolder) {
    return programFolder + u"setting.ini";
}

std::optional<Settings> LoadSettings(const std::u16string& file) {
    if (!apps::openSettingsFile(file)) return std::nullopt;
    os::Os& sys = os::current();
    const auto hex = [&](const char16_t* section, const char16_t* key) {
        return apps::hexValue(sys.profileStringW(file, section, key, u"", apps::kHexValueSize));
    };
    const auto text = [&](const char16_t* section, const char16_t* key, std::u16string& value,
                          std::size_t size = kTextSize) {
        std::u16string read = sys.profileStringW(file, section, key, u"", size);
        if (!read.empty()) value = std::move(read);
    };
    Settings s;
    s.corvUsbVid = hex(u"DEVICE_ID", u"VID");
    s.corvUsbPid = hex(u"DEVICE_ID", u"PID");
    s.corvMscVid = hex(u"MSC_ID", u"VID");
    s.corvMscPid = hex(u"MSC_ID", u"PID");
    s.printLog = sys.profileIntW(file, u"DEBUG", u"PRINT_LOG", 0) == 1;
    s.supportUsb11 = sys.profileIntW(file, u"SYSTEM", u"SUPPORTUSB11", 0) == 1;
    text(u"SYSTEM", u"FIRMWARE", s.firmware);
    text(u"SYSTEM", u"PARTITION", s.partition);
    text(u"SYSTEM", u"DISK_VOLUME", s.diskVolume);
    text(u"SYSTEM", u"HOMEPAGE", s.homepage);
    text(u"SYSTEM", u"IMAGE_EXT_NAME", s.imageExtension);
    text(u"DEVICE_ID", u"NAME", s.corvUsbName);
    text(u"MSC_ID", u"NAME", s.corvMscName);
    text(u"SYSTEM", u"APPTITLE", s.appTitle);
    text(u"SYSTEM", u"LANGUAGE", s.language, kLanguageSize);
    return s;
}

bool EraseIdbRequested(const std::u16string& file) {
    return apps::openSettingsFile(file) &&
           os::current().profileIntW(file, u"SYSTEM", u"ERASE_IDB", 0) == 1;
}

}  // namespace cv50::updater
