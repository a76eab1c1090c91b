#include "apps/engineering/core/settings.h"

#include "apps/common/settings_values.h"
#include "apps/engineering/core/texts.h"
#include "base/text.h"
#include "engine/os/os.h"

namespace cv50::engineering {
namespace {

constexpr std::size_t kPathSize = 260;
constexpr std::size_t kPartitionSize = 16;
constexpr std::size_t kLogSize = 10;

}  // namespace

Settings LoadSettings(const std::string& programFolder) {
    Settings s;
    const std::string file = programFolder + text::kSettingsFile;
    if (!apps::openSettingsFile(file)) {
        s.opened = false;
        s.forceErase = true;
        s.upgradeTimes = 1;
        s.serialTicked = true;
        return s;
    }
    os::Os& sys = os::current();
    const auto integer = [&](const char* key, int fallback) {
        return sys.profileInt(file, "SYSTEM", key, fallback);
    };
    const auto textOf = [&](const char* key, std::size_t size) {
        return sys.profileString(file, "SYSTEM", key, "", size);
    };
    s.corvUsbVid = apps::hexSetting(file, "DEVICE_ID", "VID", s.corvUsbVid);
    s.corvUsbPid = apps::hexSetting(file, "DEVICE_ID", "PID", s.corvUsbPid);
    s.corvMscVid = apps::hexSetting(file, "MSC_ID", "VID", s.corvMscVid);
    s.corvMscPid = apps::hexSetting(file, "MSC_ID", "PID", s.corvMscPid);
    s.supportUsb11 = integer("SUPPORTUSB11", 0) == 1;
    s.forceErase = integer("FORCEERASE", 0) != 0;
    s.autoUpgrade = integer("AUTOUPGRADE", 0) != 0;
    s.upgradeTimes = integer("UPGRADETIMES", 0);
    s.debugLevel = integer("DEBUGLEVEL", 1);
    s.defaultImage = textOf("DEFAULT_IMAGE_FILE", kPathSize);
    s.diskVolume = textOf("DISK_VOLUME", kPathSize);
    s.defaultDemoDir = textOf("DEFAULT_DEMO_DIR", kPathSize);
    s.partition = textOf("PARTITION", kPartitionSize);
    s.logEnabled = base::upper(textOf("LOG", kLogSize)) == "ENABLE";
    return s;
}

}  // namespace cv50::engineering
