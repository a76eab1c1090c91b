// ASCII text helpers: Windows compares device names, file names and keys without case.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace cv50::base {

// Not std::toupper: that is a call per character into the C library, and the device walks
// compare many names.
inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string upper(std::string s) {
    for (char& c : s) c = upperAscii(c);
    return s;
}

inline std::string lower(std::string s) {
    for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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
