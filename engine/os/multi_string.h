// Multi-strings (REG_MULTI_SZ), the form of the hardware-id property: each text with its
// NUL, then one more NUL. Packed and parsed here so the layout is checked on every platform.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace cv50::os {

// The bytes of `texts` as a multi-string: "a\0b\0\0"; two NULs for an empty list. An empty
// text is left out and a text is cut at a NUL inside it, since either would end the list.
std::string packMultiString(const std::vector<std::string>& texts);

// The texts of a multi-string, up to its empty entry or the end of `bytes`, whichever comes
// first, so an unterminated property read from the system cannot run past its buffer.
std::vector<std::string> parseMultiString(std::span<const char> bytes);

}  // namespace cv50::os
