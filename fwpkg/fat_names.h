// Names in a FAT directory: the check of a long name, the 8.3 name that goes with it and
// the long-name entries, as the packer writes them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cv50::fwpkg {

using ShortName = std::array<std::uint8_t, 11>;  // "NAME    EXT"

// The UTF-16 form of a long name; throws std::runtime_error when the name cannot be a FAT
// long name (empty, "." or "..", invalid UTF-8, a forbidden character, a trailing dot or
// space, longer than 255).
std::u16string checkedLongName(const std::string& utf8);

// The name as an 8.3 name when it is one exactly (upper case, valid characters).
bool exactShortName(const std::string& name, ShortName& out);

// A unique 8.3 name for `name` among `taken` (compared as stored): BASE~N.EXT.
ShortName generatedShortName(const std::string& name, const std::vector<ShortName>& taken);

std::uint8_t shortNameChecksum(const ShortName& name);

// The long-name entries (32 bytes each) in the order they are stored, before the short
// entry.
std::vector<std::array<std::uint8_t, 32>> longNameEntries(const std::u16string& name,
                                                          const ShortName& shortName);

}  // namespace cv50::fwpkg
