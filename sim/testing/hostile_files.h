// Tests: hostile versions of a settings or language file. Each kind wraps or spoils the lines
// of a good file; a reader then finds the good file's values (Good: the spoiled part is passed
// over), the values of no file at all (None), or every value over-long (LongValues).
#pragma once

#include <string>
#include <vector>

#include "base/unicode.h"
#include "sim/testing/profile_cases.h"

namespace cv50::sim::testing {

struct HostileFile {
    enum class Reads { Good, None, LongValues };
    const char* kind;
    std::string bytes;
    Reads reads;
};

// Length of each over-long value, and of the long line. The line shows that a reader has no
// line buffer of its own and takes time in proportion; a longer one only slows the sanitizer
// builds. A program reads its file again for every value, so its tests take a shorter one.
inline constexpr std::size_t kHostileValueLength = 100'000;
inline constexpr std::size_t kHostileLineLength = 1'000'000;
inline constexpr std::size_t kHostileProgramLineLength = 250'000;

// `good`: UTF-8 lines with "\n" ends, section headers first in their lines. LongValues: every
// value of `good` with kHostileValueLength "A"s after it, so a reader sees the start of its
// value and then the As, cut to its buffer.
inline std::vector<HostileFile> hostileFiles(const std::string& good,
                                             std::size_t longLine = kHostileLineLength) {
    using Reads = HostileFile::Reads;
    std::string garbage;
    for (std::size_t i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 167 + 13) % 251);
    std::string longValues, headless, unclosed;
    for (std::size_t at = 0; at < good.size();) {
        const std::size_t end = std::min(good.find('\n', at), good.size());
        const std::string line = good.substr(at, end - at);
        at = end + 1;
        const bool header = !line.empty() && line[0] == '[';
        longValues += line +
                      (header || line.find('=') == std::string::npos
                           ? ""
                           : std::string(kHostileValueLength, 'A')) +
                      "\n";
        if (!header) headless += line + "\n";
        unclosed += (header ? line.substr(0, line.find(']')) : line) + "\n";
    }
    const std::u16string goodWide = base::utf16FromUtf8(good);
    std::string oddAfterMark = utf16File(goodWide);
    oddAfterMark += 'A';
    return {
        {"an empty file", "", Reads::None},
        {"binary garbage", garbage, Reads::None},
        {"binary garbage, then the settings", garbage + "\n" + good, Reads::Good},
        {"values of 100 000 characters", longValues, Reads::LongValues},
        {"a long line, then the settings", std::string(longLine, 'x') + "\n" + good, Reads::Good},
        {"invalid UTF-8 in a name and a value",
         "\xFF\xC0\x80=\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82\n" + good, Reads::Good},
        {"UTF-16 with lone surrogates",
         utf16File(u"\xDC00=\xD800x\xDBFF\r\n" + goodWide + u"\xD800"), Reads::Good},
        {"UTF-16 with an odd byte count after its byte-order mark", oddAfterMark, Reads::Good},
        {"big-endian UTF-16 cut after its byte-order mark", std::string("\xFE\xFF\x00", 3),
         Reads::None},
        {"the settings without their sections", headless, Reads::None},
        {"section headers never closed", unclosed, Reads::None},
    };
}

}  // namespace cv50::sim::testing
