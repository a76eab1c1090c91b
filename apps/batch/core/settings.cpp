#include "apps/batch/core/settings.h"

#include "apps/batch/core/texts.h"
#include "apps/common/settings_values.h"
#include "base/text.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

// Read lengths, the terminating zero included.
constexpr std::size_t kPartitionSize = 30;
constexpr std::size_t kPathSize = 260;
constexpr std::size_t kLogSize = 10;
constexpr std::size_t kLanguageSize = 100;

}  // namespace

Settings LoadSettings(const std::string& programFolder) {
    Settings s;
    const std::string file = programFolder + text::kSettingsFile;
    if (!apps::openSettingsFile(file)) {
        s.opened = false;
        return s;
    }
    os::Os& sys = os::current();
    const auto textOf = [&](const char* key, std::size_t size) {
        return sys.profileString(file, "SYSTEM", key, "", size);
    };
    s.forceErase = sys.profileInt(file, "SYSTEM", "FORCEERASE", 1) != 0;
    s.supportUsb11 = sys.profileInt(file, "SYSTEM", "SUPPORTUSB11", 0) == 1;
    s.corvUsbVid = apps::hexSetting(file, "DEVICE_ID", "VID", s.corvUsbVid);
    s.corvUsbPid = apps::hexSetting(file, "DEVICE_ID", "PID", s.corvUsbPid);
    s.corvMscVid = apps::hexSetting(file, "MSC_ID", "VID", s.corvMscVid);
    s.corvMscPid = apps::hexSetting(file, "MSC_ID", "PID", s.corvMscPid);
    s.partition = textOf("PARTITION", kPartitionSize);
    s.defaultImage = textOf("DEFAULT_IMAGE_FILE", kPathSize);
    s.defaultDemoDir = textOf("DEFAULT_DEMO_DIR", kPathSize);
    s.diskVolume = textOf("DISK_VOLUME", kPathSize);
    s.logEnabled = base::upper(textOf("LOG", kLogSize)) == "ENABLE";
    s.language = textOf("LANGUAGE", kLanguageSize);
    if (s.language.empty()) s.language = text::kDefaultLanguage;
    return s;
}

}  // namespace cv50::batch
