#include "engine/os/multi_string.h"

#include <algorithm>

namespace cv50::os {

std::string packMultiString(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& text : texts) {
        // An empty text, or the part after a NUL inside one, would end the list early.
        const auto end = std::find(text.begin(), text.end(), '\0');
        if (end == text.begin()) continue;
        out.append(text.begin(), end);
        out.push_back('\0');
    }
    if (out.empty()) out.push_back('\0');
    out.push_back('\0');
    return out;
}

std::vector<std::string> parseMultiString(std::span<const char> bytes) {
    std::vector<std::string> texts;
    auto at = bytes.begin();
    while (at != bytes.end()) {
        const auto end = std::find(at, bytes.end(), '\0');
        if (end == at) break;
        texts.emplace_back(at, end);
        if (end == bytes.end()) break;
        at = end + 1;
    }
    return texts;
}

}  // namespace cv50::os
