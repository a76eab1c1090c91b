// The version texts of the updater's window: each 4-bit group of a version word printed as a
// decimal number, leading zero groups left out.
#pragma once

#include <cstdint>
#include <string>

namespace cv50::updater {

// Loader version: the groups of `major`, ".", those of `minor`; a zero major prints "0" and a
// zero minor "00". (1, 0x20) gives 1.20, (2, 5) gives 2.5, (0, 0) gives 0.00.
std::u16string loaderVersionText(std::uint16_t major, std::uint16_t minor);

// Software version: the upper byte of `high`, its lower byte and all of `low`, joined by
// "."; an empty first or second number prints "0", an empty third "00".
// (0x0102, 0x0034) gives 1.2.34.
std::u16string softwareVersionText(std::uint16_t high, std::uint16_t low);

}  // namespace cv50::updater
