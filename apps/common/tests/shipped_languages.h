// Tests: the language files the build ships (UTF-16 with a byte-order mark), read as bytes.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace cv50::apps::testing {

// The (section, key) of every line of the file `hostPath` that has a "=", in file order; its
// first two bytes, the byte-order mark, in `mark`.
inline std::vector<std::pair<std::u16string, std::u16string>> shippedKeys(
    const std::string& hostPath, std::string* mark = nullptr) {
    std::ifstream in(hostPath, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (mark) *mark = bytes.substr(0, 2);
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += char16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8);
    std::vector<std::pair<std::u16string, std::u16string>> keys;
    std::u16string section;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find(u'\n', at);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        if (line.empty() || line[0] == u';') continue;
        if (line[0] == u'[') {
            section = line.substr(1, line.find(u']') - 1);
        } else if (const std::size_t eq = line.find(u'='); eq != std::u16string::npos) {
            keys.emplace_back(section, line.substr(0, eq));
        }
    }
    return keys;
}

}  // namespace cv50::apps::testing
