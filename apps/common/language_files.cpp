#include "apps/common/language_files.h"

#include <algorithm>
#include <cstdint>

#include "apps/common/text_forms.h"

namespace cv50::apps {
namespace {

using detail::NarrowForm;
using detail::WideForm;

template <class Form, class Entry>
std::vector<Entry> languagesIn(typename Form::Text folder, std::size_t most) {
    using Text = typename Form::Text;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    std::vector<Entry> languages;
    for (const typename Form::Found& found : Form::find(folder + Form::ascii("\\*.ini"))) {
        if (languages.size() == most) break;
        if (found.folder) continue;
        Text path = folder + Form::ascii("\\") + found.name;
        // A cut path would name another file.
        if (path.size() >= kLanguagePathSize) continue;
        Text name =
            Form::read(path, Form::ascii("Setting"), Form::ascii("Language"), kLanguageNameSize);
        if (!name.empty()) languages.push_back({std::move(name), std::move(path)});
    }
    return languages;
}

char16_t folded(char16_t c) {
    const bool upperLatin = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    const bool upperGreek = c >= 0x391 && c <= 0x3A9 && c != 0x3A2;
    const bool upperCyrillic = c >= 0x410 && c <= 0x42F;
    if (upperLatin || upperGreek || upperCyrillic) return char16_t(c + 0x20);
    if (c >= 0x400 && c <= 0x40F) return char16_t(c + 0x50);
    return c;
}

bool sameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
               return folded(x) == folded(y);
           });
}

template <class Text>
void replaceAll(Text& text, std::string_view from, typename Text::value_type to) {
    const Text pattern(from.begin(), from.end());
    Text out;
    std::size_t at = 0;
    for (std::size_t hit; (hit = text.find(pattern, at)) != Text::npos; at = hit + pattern.size()) {
        out.append(text, at, hit - at);
        out += to;
    }
    out.append(text, at);
    text = std::move(out);
}

template <class Text>
Text unescaped(Text text) {
    replaceAll(text, "\\r", '\r');
    replaceAll(text, "\\n", '\n');
    replaceAll(text, "\\t", '\t');
    replaceAll(text, "\\\"", '"');
    replaceAll(text, "\\'", '\'');
    return text;
}

template <class Form>
typename Form::Text textOf(const typename Form::Text& file, const typename Form::Text& key,
                           std::size_t bufferSize) {
    // An empty file name would send the system to its own profile.
    if (file.empty() || bufferSize == 0) return {};
    const auto text = unescaped(Form::read(file, Form::ascii("String"), key, kLanguageTextSize));
    return typename Form::Text(Form::cut(text, bufferSize - 1));
}

}  // namespace

std::vector<Language> listLanguages(const std::string& folder) {
    return languagesIn<NarrowForm, Language>(folder, SIZE_MAX);
}

std::vector<LanguageW> listLanguages(const std::u16string& folder) {
    return languagesIn<WideForm, LanguageW>(folder, kWideLanguageCandidates);
}

const Language* chooseLanguage(const std::vector<Language>& languages, std::string_view wanted) {
    const auto it = std::find_if(languages.begin(), languages.end(),
                                 [&](const Language& l) { return l.name == wanted; });
    return it == languages.end() ? nullptr : &*it;
}

const LanguageW* chooseLanguage(const std::vector<LanguageW>& languages,
                                std::u16string_view wanted) {
    const auto it = std::find_if(languages.begin(), languages.end(), [&](const LanguageW& l) {
        return sameIgnoringCase(l.name, wanted);
    });
    return it == languages.end() ? nullptr : &*it;
}

std::string lookUpText(const std::string& file, std::string_view key, std::size_t bufferSize) {
    return textOf<NarrowForm>(file, std::string(key), bufferSize);
}

std::u16string lookUpText(const std::u16string& file, std::u16string_view key,
                          std::size_t bufferSize) {
    return textOf<WideForm>(file, std::u16string(key), bufferSize);
}

std::string unescapeText(std::string text) { return unescaped(std::move(text)); }
std::u16string unescapeText(std::u16string text) { return unescaped(std::move(text)); }

}  // namespace cv50::apps
