#include "base/unicode.h"

#include <cstdint>

namespace cv50::base {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The number of bytes of the sequence a lead byte starts, and the range its second byte
// must fall in (which rules out overlong forms, surrogates and values past U+10FFFF).
struct Lead {
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
};

Lead leadOf(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return {2};
    if (c == 0xE0) return {3, 0xA0, 0xBF};
    if (c == 0xED) return {3, 0x80, 0x9F};
    if (c >= 0xE1 && c <= 0xEF) return {3};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (c >= 0xF1 && c <= 0xF3) return {4};
    if (c == 0xF4) return {4, 0x80, 0x8F};
    return {};
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool highSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool lowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        const Lead lead = leadOf(c);
        std::uint32_t cp = c & (0x7F >> lead.length);
        int taken = 1;
        bool complete = lead.length > 0;
        for (; complete && taken < lead.length; ++taken) {
            if (i + taken >= text.size()) {
                complete = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + taken]);
            const bool fits =
                taken == 1 ? next >= lead.low && next <= lead.high : continuation(next);
            if (!fits) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        i += static_cast<std::size_t>(taken);
        if (!complete) {
            out += kReplacement;
        } else if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (highSurrogate(u) && i + 1 < text.size() && lowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((u - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (highSurrogate(u) || lowSurrogate(u)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string_view cutUtf8(std::string_view text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    // Back up to the start of the character the cut falls in; a sequence has at most
    // three continuation bytes.
    for (int i = 0; i < 3 && end > 0 && continuation(static_cast<unsigned char>(text[end])); ++i)
        --end;
    return text.substr(0, end);
}

std::u16string_view cutUtf16(std::u16string_view text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    if (end > 0 && highSurrogate(text[end - 1]) && lowSurrogate(text[end])) --end;
    return text.substr(0, end);
}

}  // namespace cv50::base
