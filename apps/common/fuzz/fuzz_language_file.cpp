// libFuzzer target: any bytes as a language file in a program's language folder. The folder
// is listed and the file chosen (narrow and wide), texts are looked up and used as formats
// with the arguments the programs pass. Nothing may crash, no text may pass its buffer, and
// a text that is refused must come back as it stands.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/common/checked_format.h"
#include "apps/common/language_files.h"
#include "base/unicode.h"
#include "sim/fuzz/ini_names.h"
#include "sim/fuzz/process_folder.h"

using namespace cv50;

namespace {

const std::string& folder() {
    static const fuzz::ProcessFolder dir("language");
    static const std::string path = dir.path();
    return path;
}

const std::vector<std::vector<apps::FormatArg>> kArgs = {
    {}, {7}, {std::string("COM3")}, {-2147483647 - 1, std::string("1-2-3")}, {1, 2, 3}};

void useText(const std::string& text) {
    for (const auto& args : kArgs) {
        bool refused = false;
        const std::string out = apps::formatChecked(
            text, args, [&](std::string_view, const apps::FormatRefusal&) { refused = true; });
        // Each conversion adds at most its field width or its argument.
        if (!refused && out.size() > text.size() * (apps::kMaxFieldWidth + 16) + 64)
            __builtin_trap();
        if (refused && out.compare(0, text.size(), text) != 0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = folder() + "/Fuzz.ini";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const std::vector<apps::Language> narrow = apps::listLanguages(folder());
    const std::vector<apps::LanguageW> wide = apps::listLanguages(base::utf16FromUtf8(folder()));
    if (narrow.size() > 1 || wide.size() > 1) __builtin_trap();
    const apps::Language* chosen =
        narrow.empty() ? nullptr : apps::chooseLanguage(narrow, narrow[0].name);
    const apps::LanguageW* chosenW =
        wide.empty() ? nullptr : apps::chooseLanguage(wide, wide[0].name);
    if (!narrow.empty() && chosen != &narrow[0]) __builtin_trap();
    if (!wide.empty() && chosenW != &wide[0]) __builtin_trap();

    std::vector<std::pair<std::string, std::string>> keys = {{"String", "IDD129_TITLE"},
                                                             {"String", ""}};
    for (auto& k : fuzz::iniNames(std::string_view(reinterpret_cast<const char*>(data), size), 4))
        keys.push_back(std::move(k));
    std::size_t buffer = size % 300;
    for (const auto& key : keys) {
        buffer = (buffer * 7 + 13) % 1100;
        const std::string text = apps::lookUpText(file, key.second, buffer);
        if (buffer > 0 && text.size() > buffer - 1) __builtin_trap();
        useText(text);
        const std::u16string textW =
            apps::lookUpText(base::utf16FromUtf8(file), base::utf16FromUtf8(key.second), buffer);
        if (buffer > 0 && textW.size() > buffer - 1) __builtin_trap();
        (void)apps::formatChecked(textW, {7, std::u16string(u"COM3")});
    }
    return 0;
}
