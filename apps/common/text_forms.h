// The narrow and the wide form of the language-file code: one implementation, written over
// these two, reaches the seam's narrow calls (UTF-8 texts) or its wide ones (UTF-16).
// Private to apps/common.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/unicode.h"
#include "engine/os/os.h"

namespace cv50::apps::detail {

struct NarrowForm {
    using Char = char;
    using Text = std::string;
    using Found = os::FoundFile;

    static Text ascii(std::string_view s) { return Text(s); }
    static Text read(const Text& file, const Text& section, const Text& key, std::size_t size) {
        return os::current().profileString(file, section, key, "", size);
    }
    static std::vector<Found> find(const Text& pattern) { return os::current().findFiles(pattern); }
    static std::string_view cut(std::string_view s, std::size_t max) {
        return base::cutUtf8(s, max);
    }
};

struct WideForm {
    using Char = char16_t;
    using Text = std::u16string;
    using Found = os::FoundFileW;

    static Text ascii(std::string_view s) { return Text(s.begin(), s.end()); }
    static Text read(const Text& file, const Text& section, const Text& key, std::size_t size) {
        return os::current().profileStringW(file, section, key, u"", size);
    }
    static std::vector<Found> find(const Text& pattern) {
        return os::current().findFilesW(pattern);
    }
    static std::u16string_view cut(std::u16string_view s, std::size_t max) {
        return base::cutUtf16(s, max);
    }
};

}  // namespace cv50::apps::detail
