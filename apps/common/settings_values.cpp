#include "apps/common/settings_values.h"

#include "engine/os/os.h"

namespace cv50::apps {
namespace {

template <typename Char>
std::uint16_t hexOf(std::basic_string_view<Char> text) {
    std::size_t at = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) at = 2;
    std::uint32_t value = 0;
    for (; at < text.size(); ++at) {
        const Char c = text[at];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        // Only the low 16 bits are kept, as the 16-bit field takes them.
        value = ((value << 4) | static_cast<std::uint32_t>(digit)) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::uint16_t hexValue(std::string_view text) { return hexOf(text); }
std::uint16_t hexValue(std::u16string_view text) { return hexOf(text); }

std::uint16_t hexSetting(const std::string& file, const char* section, const char* key,
                         std::uint16_t fallback) {
    const std::uint16_t v =
        hexValue(os::current().profileString(file, section, key, "", kHexValueSize));
    return v != 0 ? v : fallback;
}

bool openSettingsFile(const std::string& path) {
    os::UniqueFile f(os::current().openFile(path, "ab"));
    return f != nullptr;
}

bool openSettingsFile(const std::u16string& path) {
    os::UniqueFile f(os::current().openFileW(path, "ab"));
    return f != nullptr;
}

}  // namespace cv50::apps
