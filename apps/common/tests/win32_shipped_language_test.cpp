// Windows only: the shipped language files read through the system's own profile calls give
// what the simulator's reader gives: every text, wide and narrow (UTF-8 from these marked
// files whatever the system's code page).
#include <gtest/gtest.h>
#include <windows.h>

#include "apps/common/tests/shipped_languages.h"
#include "base/unicode.h"
#include "engine/os/win32/win32_os.h"
#include "sim/sim_os.h"

namespace cv50::apps {
namespace {

// The build's language\ folder beside bin\, where the test runs.
std::string languageFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "..\\language\\";
}

class ShippedThroughTheSystem : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedThroughTheSystem, ReadsEveryTextAsTheSimulatorDoes) {
    const std::unique_ptr<os::Os> real = os::makeWin32Os();
    sim::SimOs simulated{sim::Scenario{}};
    const std::string file = languageFolder() + GetParam();
    const std::u16string wideFile = base::utf16FromUtf8(file);
    const auto keys = testing::shippedKeys(file);
    ASSERT_GT(keys.size(), 50u) << file;
    for (const auto& [section, key] : keys) {
        SCOPED_TRACE(base::utf8FromUtf16(key));
        const std::u16string text = simulated.profileStringW(wideFile, section, key, u"", 1000);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(real->profileStringW(wideFile, section, key, u"", 1000), text);
        EXPECT_EQ(real->profileString(file, base::utf8FromUtf16(section),
                                      base::utf8FromUtf16(key), "", 1000),
                  base::utf8FromUtf16(text));
    }
}

INSTANTIATE_TEST_SUITE_P(EachProgramEachLanguage, ShippedThroughTheSystem,
                         ::testing::Values("CV50DeviceManager\\English.ini",
                                           "CV50DeviceManager\\Chinese.ini",
                                           "CV50BatchUpgrade\\English.ini",
                                           "CV50BatchUpgrade\\Chinese.ini"));

}  // namespace
}  // namespace cv50::apps
