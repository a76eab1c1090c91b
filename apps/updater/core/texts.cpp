#include "apps/updater/core/texts.h"

#include "apps/common/language_files.h"
#include "engine/api/exports.h"
#include "engine/os/os.h"

namespace cv50::updater {
namespace {

// The buffer the program looks its texts up into.
constexpr std::size_t kTextUnits = 512;

std::u16string key(int n) {
    const std::string k = "IDS_" + std::to_string(n);
    return std::u16string(k.begin(), k.end());
}

}  // namespace

std::u16string Texts::get(int n) const { return apps::lookUpText(file_, key(n), kTextUnits); }

std::u16string Texts::format(int n, const std::vector<apps::FormatArgW>& args) const {
    return apps::formatChecked(
        get(n), args, [n](std::u16string_view text, const apps::FormatRefusal& refusal) {
            // The log takes the narrow form; a text without one is named by its key only.
            const std::string shown =
                os::current().narrowFromWide(std::u16string(text)).value_or("?");
            ::Log("Error:IDS_%d \"%s\" is not used as a format: %s (at %u)", n, shown.c_str(),
                refusal.reason.c_str(), static_cast<unsigned>(refusal.offset));
        });
}

}  // namespace cv50::updater
