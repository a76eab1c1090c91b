// Long and 8.3 names for the FAT writer.
#include "fwpkg/fat_names.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/byte_order.h"

namespace cv50::fwpkg {
namespace {

bool shortNameChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

char32_t decodeUtf8(const std::string& s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    const int extra = c < 0x80             ? 0
                      : (c & 0xE0) == 0xC0 ? 1
                      : (c & 0xF0) == 0xE0 ? 2
                      : (c & 0xF8) == 0xF0 ? 3
                                           : -1;
    if (extra < 0) throw std::runtime_error("the name \"" + s + "\" is not valid UTF-8");
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80)
            throw std::runtime_error("the name \"" + s + "\" is not valid UTF-8");
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        throw std::runtime_error("the name \"" + s + "\" is not valid UTF-8");
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

}  // namespace

std::u16string checkedLongName(const std::string& utf8) {
    if (utf8.empty() || utf8 == "." || utf8 == "..")
        throw std::runtime_error("the name \"" + utf8 + "\" cannot be stored");
    if (utf8.back() == '.' || utf8.back() == ' ')
        throw std::runtime_error("the name \"" + utf8 + "\" ends in a dot or a space");
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, i);
        if (cp < 0x20 || (cp < 0x80 && std::strchr("\"*/:<>?\\|", static_cast<int>(cp)) != nullptr))
            throw std::runtime_error("the name \"" + utf8 + "\" has a character FAT forbids");
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    if (out.size() > 255) throw std::runtime_error("the name \"" + utf8 + "\" is longer than 255");
    return out;
}

bool exactShortName(const std::string& name, ShortName& out) {
    const std::size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 ||
        (dot != std::string::npos && ext.empty()))
        return false;
    for (char c : base + ext)
        if (!shortNameChar(static_cast<unsigned char>(c))) return false;
    out.fill(' ');
    std::copy(base.begin(), base.end(), out.begin());
    std::copy(ext.begin(), ext.end(), out.begin() + 8);
    return true;
}

ShortName generatedShortName(const std::string& name, const std::vector<ShortName>& taken) {
    // Basis: upper case, spaces and leading dots dropped, other characters as "_".
    std::string clean;
    for (unsigned char c : name) {
        if (c == ' ') continue;
        if (c == '.' && clean.empty()) continue;
        const unsigned char u = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        clean += (u == '.' || shortNameChar(u)) ? static_cast<char>(u) : '_';
    }
    const std::size_t dot = clean.rfind('.');
    std::string base = clean.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : clean.substr(dot + 1);
    base.erase(std::remove(base.begin(), base.end(), '.'), base.end());
    if (base.empty()) base = "_";
    if (ext.size() > 3) ext.resize(3);
    for (unsigned n = 1; n < 1000000; ++n) {
        const std::string tail = "~" + std::to_string(n);
        const std::string stem = base.substr(0, std::min(base.size(), 8 - tail.size())) + tail;
        ShortName candidate;
        candidate.fill(' ');
        std::copy(stem.begin(), stem.end(), candidate.begin());
        std::copy(ext.begin(), ext.end(), candidate.begin() + 8);
        if (std::find(taken.begin(), taken.end(), candidate) == taken.end()) return candidate;
    }
    throw std::runtime_error("no 8.3 name is left for \"" + name + "\"");
}

std::uint8_t shortNameChecksum(const ShortName& name) {
    std::uint8_t sum = 0;
    for (std::uint8_t c : name) sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + c);
    return sum;
}

DosStamp dosStamp(int year, int month, int day, int hour, int minute, int second) {
    DosStamp s;
    s.date =
        static_cast<std::uint16_t>((std::clamp(year, 1980, 2107) - 1980) << 9 | month << 5 | day);
    s.time = static_cast<std::uint16_t>(hour << 11 | minute << 5 | second / 2);
    return s;
}

std::array<std::uint8_t, 32> shortNameEntry(const ShortName& name, std::uint8_t attributes,
                                            std::uint32_t cluster, std::uint32_t size, int fatType,
                                            DosStamp stamp) {
    using base::storeLe16;
    using base::storeLe32;
    std::array<std::uint8_t, 32> e{};
    std::copy(name.begin(), name.end(), e.begin());
    e[11] = attributes;
    storeLe16(e, 14, stamp.time);
    storeLe16(e, 16, stamp.date);
    storeLe16(e, 18, stamp.date);
    storeLe16(e, 20, static_cast<std::uint16_t>(fatType == 32 ? cluster >> 16 : 0));
    storeLe16(e, 22, stamp.time);
    storeLe16(e, 24, stamp.date);
    storeLe16(e, 26, static_cast<std::uint16_t>(cluster));
    storeLe32(e, 28, size);
    return e;
}

ShortName volumeLabelName(const std::string& label) {
    if (label.size() > 11) throw std::runtime_error("the volume label has more than 11 characters");
    ShortName out;
    out.fill(' ');
    for (std::size_t i = 0; i < label.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(label[i]);
        if (c != ' ' && !shortNameChar(c))
            throw std::runtime_error(
                "the volume label may hold only A-Z, 0-9, spaces and !#$%&'()-@^_`{}~");
        out[i] = c;
    }
    return out;
}

std::vector<std::array<std::uint8_t, 32>> longNameEntries(const std::u16string& name,
                                                          const ShortName& shortName) {
    static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    const std::size_t parts = (name.size() + 12) / 13;
    const std::uint8_t checksum = shortNameChecksum(shortName);
    std::vector<std::array<std::uint8_t, 32>> entries;
    for (std::size_t part = parts; part >= 1; --part) {
        std::array<std::uint8_t, 32> e{};
        e[0] = static_cast<std::uint8_t>(part | (part == parts ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = checksum;
        for (int k = 0; k < 13; ++k) {
            const std::size_t at = (part - 1) * 13 + k;
            const std::uint16_t unit = at < name.size() ? name[at] : at == name.size() ? 0 : 0xFFFF;
            e[kOffsets[k]] = static_cast<std::uint8_t>(unit);
            e[kOffsets[k] + 1] = static_cast<std::uint8_t>(unit >> 8);
        }
        entries.push_back(e);
    }
    return entries;
}

}  // namespace cv50::fwpkg
