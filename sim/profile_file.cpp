// Parsing follows what the system's profile functions were seen to do under test: lines end
// at CR or LF, blanks (ASCII white space and Ctrl-Z) around names and values go, a header
// runs to the last "]" of its line, and a NUL ends a name or a value but not its line.
#include "sim/profile_file.h"

#include "base/unicode.h"

namespace cv50::sim {
namespace {

bool blank(char16_t c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Names and values are C strings to the system: a NUL ends them.
std::u16string untilNul(std::u16string_view s) {
    return std::u16string(s.substr(0, s.find(char16_t(0))));
}

char16_t upperAscii(char16_t c) { return c >= 'a' && c <= 'z' ? char16_t(c - 'a' + 'A') : c; }

bool equalNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    return true;
}

std::u16string utf16Units(std::span<const std::uint8_t> bytes, bool bigEndian) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = bigEndian ? char16_t((bytes[i] << 8) | bytes[i + 1])
                                     : char16_t(bytes[i] | (bytes[i + 1] << 8));
        out += u;
    }
    return out;
}

std::u16string decoded(std::span<const std::uint8_t> bytes) {
    const auto starts = [&](std::initializer_list<std::uint8_t> mark) {
        return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
    };
    const auto asText = [](std::span<const std::uint8_t> b) {
        return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
    };
    if (starts({0xEF, 0xBB, 0xBF})) return base::utf16FromUtf8(asText(bytes.subspan(3)));
    if (starts({0xFF, 0xFE})) return utf16Units(bytes.subspan(2), false);
    if (starts({0xFE, 0xFF})) return utf16Units(bytes.subspan(2), true);
    return base::utf16FromUtf8(asText(bytes));
}

// The system copies a value into `size` units with one quirk kept here: a value quoted with
// the same mark at both ends loses its quotes, but when the cut falls inside the quotes the
// last character kept is dropped in place of the closing mark.
std::u16string copied(std::u16string_view value, std::size_t size) {
    if (size == 0) return {};
    bool quoted = false;
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::u16string out(value.substr(0, size - 1));
    if (quoted && size >= value.size() && !out.empty()) out.pop_back();
    return out;
}

int integerOf(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] <= ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned base = 10;
    if (i + 1 < s.size() && s[i] == '0') {
        const char16_t p = s[i + 1];
        base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    std::uint32_t total = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        const unsigned digit = c >= '0' && c <= '9'   ? c - '0'
                               : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                               : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                                      : 99;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return static_cast<int>(negative ? 0u - total : total);
}

}  // namespace

ProfileFile::ProfileFile(std::span<const std::uint8_t> bytes) { parse(decoded(bytes)); }

ProfileFile::ProfileFile(std::string_view bytes)
    : ProfileFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {}

void ProfileFile::parse(std::u16string_view text) {
    sections_.push_back({});
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of(u"\r\n"), text.size());
        std::u16string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        while (!line.empty() && blank(line.front())) line.remove_prefix(1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::u16string_view::npos) {
                sections_.push_back({untilNul(trimmed(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        line = trimmed(line);
        Entry entry;
        const std::size_t eq = line.find('=');
        if (eq == std::u16string_view::npos) {
            entry.name = untilNul(line);
        } else {
            entry.name = untilNul(trimmed(line.substr(0, eq)));
            entry.value = untilNul(trimmed(line.substr(eq + 1)));
        }
        sections_.back().entries.push_back(std::move(entry));
    }
}

const ProfileFile::Entry* ProfileFile::find(std::u16string_view section,
                                            std::u16string_view key) const {
    section = trimmed(section);
    key = trimmed(key);
    for (const Section& s : sections_) {
        if (!equalNoCase(s.name, section)) continue;
        // Only the first section of a name is searched.
        for (const Entry& e : s.entries)
            if (equalNoCase(e.name, key)) return &e;
        return nullptr;
    }
    return nullptr;
}

std::u16string ProfileFile::readStringW(std::u16string_view section, std::u16string_view key,
                                        std::u16string_view fallback, std::size_t size) const {
    const Entry* entry = find(section, key);
    if (entry != nullptr && entry->value) return copied(*entry->value, size);
    // Trailing spaces of the fallback go, all but its first character.
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);
    return copied(fallback, size);
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback, std::size_t size) const {
    if (size == 0) return {};
    const std::string text =
        base::utf8FromUtf16(readStringW(base::utf16FromUtf8(section), base::utf16FromUtf8(key),
                                        base::utf16FromUtf8(fallback), size));
    return std::string(base::cutUtf8(text, size - 1));
}

int ProfileFile::readIntW(std::u16string_view section, std::u16string_view key,
                          int fallback) const {
    // The system reads the value into 30 units first.
    const std::u16string text = readStringW(section, key, u"", 30);
    return text.empty() ? fallback : integerOf(text);
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int fallback) const {
    return readIntW(base::utf16FromUtf8(section), base::utf16FromUtf8(key), fallback);
}

}  // namespace cv50::sim
