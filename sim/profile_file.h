// The private-profile (INI) functions over the bytes of one file: what the simulator answers
// for the system's profile calls. Sections and keys compare without regard to ASCII case;
// the first of two equal sections or keys is the one read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cv50::sim {

class ProfileFile {
public:
    // `bytes` is the whole file; a missing file reads as one without bytes. A UTF-8 or
    // UTF-16 byte-order mark chooses the encoding; without one the file is in the ANSI
    // code page, which is UTF-8 here.
    explicit ProfileFile(std::span<const std::uint8_t> bytes);
    explicit ProfileFile(std::string_view bytes);

    // GetPrivateProfileStringW: the value, else `fallback`, cut to `size` - 1 units.
    std::u16string readStringW(std::u16string_view section, std::u16string_view key,
                               std::u16string_view fallback, std::size_t size) const;
    // GetPrivateProfileStringA with UTF-8 as the ANSI code page; a cut splits no character.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback, std::size_t size) const;
    // GetPrivateProfileIntW / A: `fallback` for a missing or empty value, else the number it
    // starts with (sign, "0x" / "0o" / "0b" prefix), wrapping as a 32-bit unsigned count.
    int readIntW(std::u16string_view section, std::u16string_view key, int fallback) const;
    int readInt(std::string_view section, std::string_view key, int fallback) const;

private:
    struct Entry {
        std::u16string name;
        std::optional<std::u16string> value;  // none for a line without "="
    };
    struct Section {
        std::u16string name;
        std::vector<Entry> entries;
    };

    void parse(std::u16string_view text);
    const Entry* find(std::u16string_view section, std::u16string_view key) const;

    std::vector<Section> sections_;  // the first holds the lines before any section header
};

}  // namespace cv50::sim
