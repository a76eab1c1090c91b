// The programs' language files: one profile file per language in a folder, the language's
// name under [Setting] Language, its texts under [String]. The narrow form reads with the
// narrow profile calls and matches a name exactly (the production tool); the wide form reads
// with the wide calls, keeps at most 20 candidates and matches a name ignoring case (the
// updater).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cv50::apps {

struct Language {
    std::string name;
    std::string path;
    friend bool operator==(const Language&, const Language&) = default;
};
struct LanguageW {
    std::u16string name;
    std::u16string path;
    friend bool operator==(const LanguageW&, const LanguageW&) = default;
};

inline constexpr std::size_t kLanguageNameSize = 100;  // read length of a language's name
inline constexpr std::size_t kLanguagePathSize = 260;  // room for a file's path, NUL included
inline constexpr std::size_t kWideLanguageCandidates = 20;
inline constexpr std::size_t kLanguageTextSize = 1000;  // read length of a text

// The files "*.ini" of `folder` (one trailing "\" dropped) whose [Setting] Language is not
// empty, in the order the folder search returns them. Folders and files whose path leaves no
// room in kLanguagePathSize are skipped; a missing folder gives none.
std::vector<Language> listLanguages(const std::string& folder);
// The same through the wide calls; the first kWideLanguageCandidates at most.
std::vector<LanguageW> listLanguages(const std::u16string& folder);

// The first language whose name is `wanted` exactly, or nullptr.
const Language* chooseLanguage(const std::vector<Language>& languages, std::string_view wanted);
// The first language whose name is `wanted` ignoring case (ASCII, Latin-1, Greek and Cyrillic
// letters), or nullptr.
const LanguageW* chooseLanguage(const std::vector<LanguageW>& languages,
                                std::u16string_view wanted);

// The text of `key` under [String] of the language file `file`, unescaped and cut to
// `bufferSize` - 1 units without splitting a character; empty when the key is missing or
// `file` is empty (no language file chosen).
std::string lookUpText(const std::string& file, std::string_view key, std::size_t bufferSize);
std::u16string lookUpText(const std::u16string& file, std::u16string_view key,
                          std::size_t bufferSize);

// Backslash-r, -n, -t, -" and -' replaced by what they stand for, one pass each in that order.
std::string unescapeText(std::string text);
std::u16string unescapeText(std::u16string text);

}  // namespace cv50::apps
