// ASCII text helpers: Windows compares device names, file names and keys without case.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace cv50::base {

inline char upperAscii(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

inline std::string upper(std::string s) {
    for (char& c : s) c = upperAscii(c);
    return s;
}

inline std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

inline bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

inline bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace cv50::base
