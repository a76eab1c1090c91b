// Names in a FAT directory: the check of a long name, the 8.3 name that goes with it, the
// long-name entries and the short entry, as the packer and the editor write them.
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

// A volume label as the boot sector and the label entry hold it, padded with spaces;
// throws std::runtime_error for more than 11 characters or one a label cannot hold.
ShortName volumeLabelName(const std::string& label);

// A DOS date and time as directory entries hold them. The default is a fixed time, so that
// the packer makes the same image from the same input.
struct DosStamp {
    std::uint16_t date = ((2008 - 1980) << 9) | (12 << 5) | 20;
    std::uint16_t time = 12 << 11;
};
// `year` 1980 to 2107; seconds are kept to two.
DosStamp dosStamp(int year, int month, int day, int hour, int minute, int second);

// The 32-byte short entry; `fatType` 32 keeps the high half of the cluster number.
std::array<std::uint8_t, 32> shortNameEntry(const ShortName& name, std::uint8_t attributes,
                                            std::uint32_t cluster, std::uint32_t size, int fatType,
                                            DosStamp stamp = {});

// The long-name entries (32 bytes each) in the order they are stored, before the short
// entry.
std::vector<std::array<std::uint8_t, 32>> longNameEntries(const std::u16string& name,
                                                          const ShortName& shortName);

}  // namespace cv50::fwpkg
