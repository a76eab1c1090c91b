// A boot file's head as the production and engineering tools show it (Version, Date), and
// the three ID Block words they build back from those fields, which the operator may edit.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/flash/boot_head.h"

namespace cv50::apps {

// "%d.%d": the loader version, high and low part.
std::string bootVersionText(const flash::BootHead& head);
// "%04d-%02d-%02d %02d:%02d:%02d": the release date and time.
std::string bootDateText(const flash::BootHead& head);
// "%d": the merge version.
std::string bootMergeText(const flash::BootHead& head);

// From "%d.%d" and "%04d-%02d-%02d" (what follows is not read; a number that is missing is
// 0): the year as a BCD word, month and day as BCD bytes (month high), major and minor as
// BCD bytes (major high).
std::array<std::uint16_t, 3> idBlockWordsFromTexts(const std::string& version,
                                                   const std::string& date);

}  // namespace cv50::apps
