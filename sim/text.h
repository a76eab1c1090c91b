// Small text helpers of the simulator: Windows compares device names without case.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace cv50::sim {

inline std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

inline bool equalNoCase(const std::string& a, const std::string& b) {
    return upper(a) == upper(b);
}

inline bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

// An instance id as it appears inside interface paths: "\" becomes "#".
inline std::string hashed(std::string id) {
    std::replace(id.begin(), id.end(), '\\', '#');
    return id;
}

}  // namespace cv50::sim
