// Tests: tricky profile files and what the system's profile functions read from them, as
// seen under Wine. The Windows test reads each through the real functions and through the
// simulator and expects both to give these answers; the Linux test checks the portable
// reader against the same table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cv50::sim::testing {

// Where the answer depends on the ANSI code page (a file without a byte-order mark), the
// table holds the portable reader's (whose ANSI code page is UTF-8) and the real functions
// are not compared.
enum class CodePage { Independent, BothDepend };

struct ProfileCase {
    const char* name;
    std::optional<std::string> file;  // its bytes; none: there is no file
    std::u16string section, key, fallback;
    std::size_t size;
    std::u16string wide;  // what GetPrivateProfileStringW reads
    std::string narrow;   // what GetPrivateProfileStringA reads (section, key, fallback in UTF-8)
    CodePage codePage = CodePage::Independent;
};

struct ProfileIntCase {
    const char* name;
    std::string file;
    std::u16string key;  // in section S
    int fallback;
    int expected;
};

// A UTF-16 file with its byte-order mark.
inline std::string utf16File(const std::u16string& text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

inline std::string withNul(const char* before, const char* after) {
    return std::string(before) + '\0' + after;
}

inline std::vector<ProfileCase> profileCases() {
    using enum CodePage;
    const std::string chineseUtf16 = utf16File(u"[S]\r\nk=\u4E2D\u6587\r\nj=v\r\n");
    const std::string spacesUtf16 = utf16File(u"[S]\r\nk=\u3000v\u3000\r\nj=\u00A0v\u00A0\r\n");
    const std::string emojiUtf16 = utf16File(u"[S]\r\nk=\U0001F600xyz\r\n");
    return {
        // Line ends.
        {"CR LF", "[S]\r\nk=v\r\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"LF", "[S]\nk=v\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"CR alone", "[S]\rk=v\rj=w\r", u"S", u"j", u"d", 100, u"w", "w"},
        {"CR inside an LF line ends it", "[S]\na=1\rb=2\n", u"S", u"b", u"d", 100, u"2", "2"},
        {"no final line end", "[S]\nk=v", u"S", u"k", u"d", 100, u"v", "v"},
        {"empty lines", "[S]\r\r\n\r\nk=v\r\r\n", u"S", u"k", u"d", 100, u"v", "v"},
        // Case and blanks.
        {"case", "[sEcT]\nKeY=v\n", u"SECT", u"key", u"d", 100, u"v", "v"},
        {"case only in ASCII", utf16File(u"[\u00C9T\u00C9]\r\nk=v\r\n"), u"\u00E9t\u00E9", u"k",
         u"d", 100, u"d", "d"},
        {"spaces around = and the value", "[S]\n  k  =   v  v   \n", u"S", u"k", u"d", 100, u"v  v",
         "v  v"},
        {"tabs", "[S]\n\tk\t=\tv\t\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"vertical tab, form feed, Ctrl-Z", "[S]\nk=v\v\f\x1a\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"other control characters stay", "[S]\nk=v\x01\x1c\n", u"S", u"k", u"d", 100, u"v\x01\x1c",
         "v\x01\x1c"},
        {"ideographic space stays", spacesUtf16, u"S", u"k", u"d", 100, u"\u3000v\u3000",
         "\u3000v\u3000"},
        {"no-break space stays", spacesUtf16, u"S", u"j", u"d", 100, u"\u00A0v\u00A0",
         "\u00A0v\u00A0"},
        {"blanks around the names looked up", "[S]\nk=v\n", u" S ", u" k ", u"d", 100, u"v", "v"},
        {"key with a blank inside", "[S]\na b=1\n", u"S", u"a b", u"d", 100, u"1", "1"},
        // Section headers.
        {"header with blanks", "  [ S ]\nk=v\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"blanks inside a header stay", "[a  b]\nk=v\n", u"a b", u"k", u"d", 100, u"d", "d"},
        {"text after the header", "[S] ; note\nk=v\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"header runs to the last ]", "[a]b]\nk=v\n", u"a]b", u"k", u"d", 100, u"v", "v"},
        {"header without ]", "[S\nk=v\n", u"S", u"k", u"d", 100, u"d", "d"},
        {"keys before any header", "k=0\n[S]\nk=1\n", u"", u"k", u"d", 100, u"0", "0"},
        {"[] is a second nameless section", "[]\nk=v\n", u"", u"k", u"d", 100, u"d", "d"},
        {"duplicate section: the first", "[S]\nk=1\n[T]\n[S]\nk=2\nj=3\n", u"S", u"k", u"d", 100,
         u"1", "1"},
        {"duplicate section: the second is never read", "[S]\nk=1\n[T]\n[S]\nj=3\n", u"S", u"j",
         u"d", 100, u"d", "d"},
        {"duplicate key: the first", "[S]\nk=1\nK=2\n", u"S", u"K", u"d", 100, u"1", "1"},
        {"a first key without = hides a second", "[S]\nk\nk=2\n", u"S", u"k", u"d", 100, u"d", "d"},
        // Quotes.
        {"double quotes", "[S]\nk=\"v w\"\n", u"S", u"k", u"d", 100, u"v w", "v w"},
        {"single quotes", "[S]\nk='v w'\n", u"S", u"k", u"d", 100, u"v w", "v w"},
        {"blanks inside quotes stay", "[S]\nk=\" v \"\n", u"S", u"k", u"d", 100, u" v ", " v "},
        {"blanks outside quotes go", "[S]\nk= \"v\" \n", u"S", u"k", u"d", 100, u"v", "v"},
        {"an open quote stays", "[S]\nk=\"v\n", u"S", u"k", u"d", 100, u"\"v", "\"v"},
        {"different quotes stay", "[S]\nk=\"v'\n", u"S", u"k", u"d", 100, u"\"v'", "\"v'"},
        {"empty quotes", "[S]\nk=\"\"\n", u"S", u"k", u"d", 100, u"", ""},
        {"one quote", "[S]\nk=\"\n", u"S", u"k", u"d", 100, u"\"", "\""},
        {"quotes inside", "[S]\nk=a\"b\"\n", u"S", u"k", u"d", 100, u"a\"b\"", "a\"b\""},
        {"quotes not at both ends", "[S]\nk=\"a\"b\n", u"S", u"k", u"d", 100, u"\"a\"b", "\"a\"b"},
        {"quoted key is not unquoted", "[S]\n\"k\"=v\n", u"S", u"k", u"d", 100, u"d", "d"},
        {"quoted, cut well inside", "[S]\nk=\"abcdef\"\n", u"S", u"k", u"d", 4, u"abc", "abc"},
        {"quoted, cut at the closing quote drops one more", "[S]\nk=\"abcdef\"\n", u"S", u"k", u"d",
         7, u"abcde", "abcde"},
        {"quoted, just fits", "[S]\nk=\"abcdef\"\n", u"S", u"k", u"d", 8, u"abcdef", "abcdef"},
        {"single-quoted, cut at the closing quote", "[S]\nk='ab'\n", u"S", u"k", u"d", 3, u"a",
         "a"},
        // Comments and lines without "=".
        {"; comment line", "[S]\n;k=v\n", u"S", u"k", u"d", 100, u"d", "d"},
        {"; is part of the key", "[S]\n;k=v\n", u"S", u";k", u"d", 100, u"v", "v"},
        {"# comment line", "[S]\n#k=v\n", u"S", u"k", u"d", 100, u"d", "d"},
        {"no comment after a value", "[S]\nk=v ; c\n", u"S", u"k", u"d", 100, u"v ; c", "v ; c"},
        {"value starting with ;", "[S]\nk=;v\n", u"S", u"k", u"d", 100, u";v", ";v"},
        {"line without =", "[S]\nk\n", u"S", u"k", u"d", 100, u"d", "d"},
        {"empty value is not the fallback", "[S]\nk=\n", u"S", u"k", u"d", 100, u"", ""},
        {"blank value", "[S]\nk=   \n", u"S", u"k", u"d", 100, u"", ""},
        {"= in the value", "[S]\nk=a=b\n", u"S", u"k", u"d", 100, u"a=b", "a=b"},
        {"line with an empty key", "[S]\n=v\nk=w\n", u"S", u"k", u"d", 100, u"w", "w"},
        // Missing things.
        {"no file", std::nullopt, u"S", u"k", u"dflt", 100, u"dflt", "dflt"},
        {"empty file", "", u"S", u"k", u"d", 100, u"d", "d"},
        {"missing section", "[S]\nk=v\n", u"T", u"k", u"d", 100, u"d", "d"},
        {"missing key", "[S]\nk=v\n", u"S", u"j", u"d", 100, u"d", "d"},
        // The fallback.
        {"fallback loses trailing spaces", "[S]\n", u"S", u"j", u"d  ", 100, u"d", "d"},
        {"fallback keeps leading spaces", "[S]\n", u"S", u"j", u"  d", 100, u"  d", "  d"},
        {"fallback keeps a trailing tab", "[S]\n", u"S", u"j", u"d\t", 100, u"d\t", "d\t"},
        {"fallback of spaces keeps one", "[S]\n", u"S", u"j", u"   ", 100, u" ", " "},
        {"fallback loses its quotes", "[S]\n", u"S", u"j", u"'d'", 100, u"d", "d"},
        {"quoted fallback, cut at the closing quote", "[S]\n", u"S", u"j", u"\"abcdef\"", 7,
         u"abcde", "abcde"},
        {"fallback is cut", "[S]\n", u"S", u"j", u"abcdef", 4, u"abc", "abc"},
        {"empty fallback", "[S]\n", u"S", u"j", u"", 100, u"", ""},
        // Read lengths.
        {"size 0", "[S]\nk=abcdef\n", u"S", u"k", u"d", 0, u"", ""},
        {"size 1", "[S]\nk=abcdef\n", u"S", u"k", u"d", 1, u"", ""},
        {"size 4 holds 3", "[S]\nk=abcdef\n", u"S", u"k", u"d", 4, u"abc", "abc"},
        {"size one short", "[S]\nk=abcdef\n", u"S", u"k", u"d", 6, u"abcde", "abcde"},
        {"size exact", "[S]\nk=abcdef\n", u"S", u"k", u"d", 7, u"abcdef", "abcdef"},
        {"long line", "[S]\nk=" + std::string(1500, 'x') + "\n", u"S", u"k", u"d", 1000,
         std::u16string(999, u'x'), std::string(999, 'x')},
        // NUL characters.
        {"NUL ends a value", withNul("[S]\nk=a", "b\nj=c\n"), u"S", u"k", u"d", 100, u"a", "a"},
        {"NUL does not end an ANSI file", withNul("[S]\nk=a", "b\nj=c\n"), u"S", u"j", u"d", 100,
         u"c", "c"},
        {"NUL does not end a line", withNul("[S]\nk=a", "b=x\n"), u"S", u"b", u"d", 100, u"d", "d"},
        {"NUL does not end a UTF-16 file",
         utf16File(std::u16string(u"[S]\r\nj=v\0w\r\nk=x\r\n", 17)), u"S", u"k", u"d", 100, u"x",
         "x"},
        {"NUL ends a UTF-16 value", utf16File(std::u16string(u"[S]\r\nj=v\0w\r\n", 12)), u"S", u"j",
         u"d", 100, u"v", "v"},
        {"NUL does not end a UTF-8 file", withNul("\xEF\xBB\xBF[S]\nj=v", "w\nk=x\n"), u"S", u"k",
         u"d", 100, u"x", "x"},
        // Encodings.
        {"UTF-16LE", chineseUtf16, u"S", u"j", u"d", 100, u"v", "v"},
        {"UTF-16LE, Chinese", chineseUtf16, u"S", u"k", u"d", 100, u"\u4E2D\u6587", "\u4E2D\u6587"},
        {"UTF-16LE, Chinese cut", chineseUtf16, u"S", u"k", u"d", 2, u"\u4E2D", ""},
        {"UTF-16BE", utf16File(u"[S]\r\nj=v\r\n", true), u"S", u"j", u"d", 100, u"v", "v"},
        {"UTF-16 with an odd last byte", utf16File(u"[S]\r\nj=v\r\n") + "x", u"S", u"j", u"d", 100,
         u"v", "v"},
        {"UTF-16 without its mark is ANSI", utf16File(u"[S]\r\nj=v\r\n").substr(2), u"S", u"j",
         u"d", 100, u"d", "d"},
        {"UTF-16 lone surrogate",
         utf16File(u"[S]\r\nk=a\xD800"
                   u"b\r\n"),
         u"S", u"k", u"d", 100,
         u"a\xD800"
         u"b",
         "a\uFFFDb"},
        {"UTF-16 cut inside a surrogate pair", emojiUtf16, u"S", u"k", u"d", 2, u"\xD83D", ""},
        {"UTF-8 mark", "\xEF\xBB\xBF[S]\nk=v\n", u"S", u"k", u"d", 100, u"v", "v"},
        {"UTF-8 mark, Chinese", "\xEF\xBB\xBF[S]\nk=\u4E2D\u6587\n", u"S", u"k", u"d", 100,
         u"\u4E2D\u6587", "\u4E2D\u6587"},
        {"UTF-8 mark, a stray byte",
         "\xEF\xBB\xBF[S]\nk=a\xFF"
         "b\n",
         u"S", u"k", u"d", 100, u"a\uFFFDb", "a\uFFFDb"},
        {"UTF-8 mark, a cut sequence", "\xEF\xBB\xBF[S]\nk=a\xE4\xB8\n", u"S", u"k", u"d", 100,
         u"a\uFFFD", "a\uFFFD"},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", u"S", u"k", u"d", 100, u"d", "d"},
        {"UTF-8 without mark, Chinese", "[S]\nk=\u4E2D\u6587\n", u"S", u"k", u"d", 100,
         u"\u4E2D\u6587", "\u4E2D\u6587", BothDepend},
        {"UTF-8 without mark, Chinese cut", "[S]\nk=\u4E2D\u6587\n", u"S", u"k", u"d", 5,
         u"\u4E2D\u6587", "\u4E2D", BothDepend},
        {"ANSI byte that is no UTF-8", "[S]\nk=caf\xE9\n", u"S", u"k", u"d", 100, u"caf\uFFFD",
         "caf\uFFFD", BothDepend},
    };
}

inline std::vector<ProfileIntCase> profileIntCases() {
    const auto file = [](const std::string& value) { return "[S]\nk=" + value + "\n"; };
    return {
        {"digits", file("123"), u"k", 77, 123},
        {"minus", file("-5"), u"k", 77, -5},
        {"plus", file("+5"), u"k", 77, 5},
        {"garbage after the digits", file("12abc"), u"k", 77, 12},
        {"a blank after the digits", file("12 34"), u"k", 77, 12},
        {"no digits", file("abc"), u"k", 77, 0},
        {"sign alone", file("-"), u"k", 77, 0},
        {"blank after the sign", file("- 5"), u"k", 77, 0},
        {"two signs", file("--5"), u"k", 77, 0},
        {"leading zero is decimal", file("017"), u"k", 77, 17},
        {"0x prefix", file("0x1F"), u"k", 77, 31},
        {"0X prefix is not one", file("0XfF"), u"k", 77, 0},
        {"0x alone", file("0x"), u"k", 77, 0},
        {"0x without digits", file("0xG"), u"k", 77, 0},
        {"minus and 0x", file("-0x10"), u"k", 77, -16},
        {"0b prefix", file("0b101"), u"k", 77, 5},
        {"0o prefix", file("0o17"), u"k", 77, 15},
        {"past 32 bits wraps", file("99999999999"), u"k", 77, 1215752191},
        {"2^32 wraps to 0", file("4294967296"), u"k", 77, 0},
        {"below -2^32 wraps", file("-4294967297"), u"k", 77, -1},
        {"29 characters are read", file("12345678901234567890123456789"), u"k", 77, 1849262357},
        {"the 29th character counts", file(std::string(28, '0') + "7"), u"k", 77, 7},
        {"the 30th does not", file(std::string(29, '0') + "7"), u"k", 77, 0},
        {"quoted", file("\"42\""), u"k", 77, 42},
        {"blanks inside quotes", file("\" 5\""), u"k", 77, 5},
        {"control characters before the sign", file("\"\t\x01-3\""), u"k", 77, -3},
        {"empty value", file(""), u"k", 77, 77},
        {"empty quotes", file("\"\""), u"k", 77, 77},
        {"line without =", "[S]\nk\n", u"k", 77, 77},
        {"missing key", "[S]\n", u"k", -1, -1},
    };
}

}  // namespace cv50::sim::testing
