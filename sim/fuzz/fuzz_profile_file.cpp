// libFuzzer target: any bytes as a settings (profile) file. Every read the programs make of
// one, narrow, wide and as an integer, at every read length they use, must neither crash nor
// hand back more units than the length allows nor a narrow text that is not UTF-8.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "apps/common/settings_values.h"
#include "base/unicode.h"
#include "sim/fuzz/ini_names.h"
#include "sim/profile_file.h"

using namespace cv50;

namespace {

constexpr std::array<std::size_t, 8> kSizes = {0, 1, 2, 3, 10, 30, 101, 260};

// The names the three programs' settings files are read by, and a few the file holds.
std::vector<std::pair<std::string, std::string>> namesFor(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> names = {
        {"SYSTEM", "LANGUAGE"},     {"DEVICE_ID", "VID"},    {"MSC_ID", "PID"},
        {"SYSTEM", "UPGRADETIMES"}, {"Setting", "Language"}, {"", ""}};
    for (auto& n : fuzz::iniNames(text)) names.push_back(std::move(n));
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sim::ProfileFile file(std::span<const std::uint8_t>(data, size));
    std::size_t turn = size;
    for (const auto& [section, key] : namesFor(text)) {
        const std::size_t length = kSizes[turn++ % kSizes.size()];
        const std::string narrow = file.readString(section, key, "fallback", length);
        if (length > 0 && narrow.size() > length - 1) __builtin_trap();
        if (base::utf8FromUtf16(base::utf16FromUtf8(narrow)) != narrow) __builtin_trap();

        const std::u16string wide = file.readStringW(base::utf16FromUtf8(section),
                                                     base::utf16FromUtf8(key), u"x  ", length);
        if (length > 0 && wide.size() > length - 1) __builtin_trap();
        if (length == 0 && (!narrow.empty() || !wide.empty())) __builtin_trap();

        (void)file.readInt(section, key, -1);
        (void)apps::hexValue(file.readString(section, key, "", apps::kHexValueSize));
    }
    return 0;
}
