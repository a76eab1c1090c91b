// The updater's texts: the run-time texts IDS_<n> of the chosen language file (each checked
// before it formats anything), and the few texts the program itself holds.
#pragma once

#include <string>
#include <vector>

#include "apps/common/checked_format.h"

namespace cv50::updater {

namespace text {
inline constexpr char16_t kVersionSuffix[] = u" v2.22 ";
inline constexpr char16_t kNotAvailable[] = u"N/A";
inline constexpr char16_t kMaskRomName[] = u"CV50 MaskRom";
inline constexpr char16_t kLoaderFile[] = u"CVBOOT.BIN";
inline constexpr char16_t kDriverFile[] = u"Driver\\corvusb50.inf";
inline constexpr char16_t kLanguageFolder[] = u"Language\\";
inline constexpr char16_t kLogFolder[] = u"Log";
inline constexpr char16_t kElapsed[] = u"%02d:%02d";
inline constexpr char16_t kSplashVersion[] = u"Version: %s";
inline constexpr char kSettingsUnopenable[] = "Failure to Load setting!";
inline constexpr char kSettingsCaption[] = "ERROR";
}  // namespace text

class Texts {
public:
    // No language file: every run-time text is empty.
    Texts() = default;
    explicit Texts(std::u16string languageFile) : file_(std::move(languageFile)) {}

    const std::u16string& file() const { return file_; }

    // IDS_<n> as it stands (unescaped), for texts that take no argument.
    std::u16string get(int n) const;
    // IDS_<n> as a format filled with `args`; a text whose conversions do not fit `args` is
    // shown as it stands, followed by the arguments, and the refusal goes to the log.
    std::u16string format(int n, const std::vector<apps::FormatArgW>& args) const;

private:
    std::u16string file_;
};

}  // namespace cv50::updater
