// Fuzz support: the section and key names an INI text seems to hold, found with a rough scan
// of its first lines, so the targets ask for names the file has and not only for fixed ones.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace cv50::fuzz {

// Up to `most` (section, key) pairs: each "key=" line with the "[section]" above it.
inline std::vector<std::pair<std::string, std::string>> iniNames(std::string_view text,
                                                                 std::size_t most = 8) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    std::size_t lines = 0;
    while (!text.empty() && names.size() < most && lines++ < 256) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.front() == '[') {
            section = std::string(line.substr(1, line.find(']') - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            names.emplace_back(section, std::string(line.substr(0, eq)));
        }
    }
    return names;
}

}  // namespace cv50::fuzz
