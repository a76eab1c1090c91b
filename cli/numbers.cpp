// Parsing the number options of the packer commands.
#include "cli/numbers.h"

namespace cv50::cli {

std::uint32_t parseNumber(const std::string& text, std::uint32_t max, const std::string& what) {
    std::size_t used = 0;
    unsigned long long value = 0;
    bool ok = !text.empty() && text[0] != '-' && text[0] != '+' && text[0] != ' ';
    try {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        value = ok ? std::stoull(text, &used, hex ? 16 : 10) : 0;
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok || used != text.size() || value > max)
        throw std::runtime_error(what + ": \"" + text + "\" is not a number from 0 to " +
                                 std::to_string(max));
    return static_cast<std::uint32_t>(value);
}

std::vector<std::uint32_t> splitNumbers(const std::string& text, char separator, std::size_t count,
                                        std::uint32_t max, const std::string& what) {
    std::vector<std::uint32_t> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        const std::string part =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // Decimal only, so "08" is eight and not an octal mistake.
        std::size_t digits = 0;
        while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9') ++digits;
        if (part.empty() || digits != part.size() || part.size() > 9)
            throw std::runtime_error(what + ": \"" + text + "\" must be " + std::to_string(count) +
                                     " decimal numbers separated by '" + separator + "'");
        out.push_back(parseNumber(std::to_string(std::stoul(part)), max, what));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (out.size() != count)
        throw std::runtime_error(what + ": \"" + text + "\" must be " + std::to_string(count) +
                                 " numbers separated by '" + separator + "'");
    return out;
}

}  // namespace cv50::cli
