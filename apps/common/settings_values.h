// The values the programs' settings files hold beyond plain texts and integers: the
// hexadecimal USB numbers, and the file that must exist before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cv50::apps {

// Read length of a hexadecimal value, NUL included.
inline constexpr std::size_t kHexValueSize = 64;

// An optional "0x" or "0X", then hexadecimal digits up to the first other character, as a
// 16-bit number; an empty text or one without digits is 0 (which callers take as "use the
// default"). "071B", "0x071B" give 0x071B; "07g1" gives 0x07.
std::uint16_t hexValue(std::string_view text);
std::uint16_t hexValue(std::u16string_view text);
// The hexadecimal value of `key` in `section` of the profile file `file` (narrow calls), or
// `fallback` when it is missing or 0.
std::uint16_t hexSetting(const std::string& file, const char* section, const char* key,
                         std::uint16_t fallback);

// A profile file opened for appending and closed again, so a missing one exists (empty)
// before it is read. False when even that open fails.
[[nodiscard]] bool openSettingsFile(const std::string& path);
[[nodiscard]] bool openSettingsFile(const std::u16string& path);

}  // namespace cv50::apps
