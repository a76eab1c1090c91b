// UTF-8 and UTF-16, the two text forms at the os seam: narrow texts are UTF-8 inside our
// programs, wide texts and paths are UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cv50::base {

// Invalid input (a stray byte, a cut sequence, an encoded surrogate) becomes U+FFFD, one
// for each maximal invalid part, as the system's UTF-8 conversion does.
std::u16string utf16FromUtf8(std::string_view text);
// A lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

// The longest prefix of at most `max` units that splits no character: a cut never leaves
// half a UTF-8 sequence or half a surrogate pair behind.
std::string_view cutUtf8(std::string_view text, std::size_t max);
std::u16string_view cutUtf16(std::u16string_view text, std::size_t max);

}  // namespace cv50::base
