// Language texts as formats: the programs' own texts format as printf would; hostile ones
// are refused, reported, and shown as they stand with the arguments after them.
#include "apps/common/checked_format.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/unicode.h"

namespace cv50::apps {
namespace {

using base::utf16FromUtf8;

std::vector<FormatArgW> wideArgs(const std::vector<FormatArg>& args) {
    std::vector<FormatArgW> out;
    for (const FormatArg& a : args) {
        if (const int* n = std::get_if<int>(&a))
            out.emplace_back(*n);
        else
            out.emplace_back(utf16FromUtf8(std::get<std::string>(a)));
    }
    return out;
}

struct Formatted {
    const char* text;
    std::vector<FormatArg> args;
    std::string expected;
};

TEST(CheckedFormat, FormatsTheProgramsTextsAsPrintfWould) {
    const std::vector<Formatted> cases = {
        {"<Layer:%s> boot downloaded", {"4-3-2"}, "<Layer:4-3-2> boot downloaded"},
        {"<Layer:%s> image written in %dMS", {"1", 15230}, "<Layer:1> image written in 15230MS"},
        {"%d succeeded, %d failed", {15, 1}, "15 succeeded, 1 failed"},
        {"%d%%", {42}, "42%"},
        {"Upgrade done", {}, "Upgrade done"},
        {"100%% done", {}, "100% done"},
        {"\u5347\u7EA7 %s \u6210\u529F",
         {"\u8BBE\u5907"},
         "\u5347\u7EA7 \u8BBE\u5907 \u6210\u529F"},
        {"[%5d|%-5d|%05d]", {42, 42, -42}, "[   42|42   |-0042]"},
        {"%+d % d %i", {5, 5, INT_MIN}, "+5  5 -2147483648"},
        {"%x %X %#x %#X %o %#o %#x", {255, 255, 255, 255, 8, 8, 0}, "ff FF 0xff 0XFF 10 010 0"},
        {"%u %x", {-1, -1}, "4294967295 ffffffff"},
        {"%.3d|%.0d|%5.3d|%-05d", {7, 0, -7, 3}, "007|| -007|3    "},
        {"%c%c", {'O', 'K'}, "OK"},
        {"[%.2s|%4s|%-4s|%.0s]", {"abcdef", "ab", "ab", "x"}, "[ab|  ab|ab  |]"},
        {"%64d", {1}, std::string(63, ' ') + "1"},
        {"%.64s", {std::string(70, 'x')}, std::string(64, 'x')},
    };
    for (const Formatted& c : cases) {
        SCOPED_TRACE(c.text);
        int reports = 0;
        const auto count = [&](auto, const FormatRefusal&) { ++reports; };
        EXPECT_EQ(formatChecked(c.text, c.args, count), c.expected);
        EXPECT_EQ(formatChecked(utf16FromUtf8(c.text), wideArgs(c.args), count),
                  utf16FromUtf8(c.expected));
        EXPECT_EQ(reports, 0);
    }
}

TEST(CheckedFormat, PrecisionCountsUnitsAndKeepsWholeCharacters) {
    // Three bytes a character narrow, one unit wide.
    EXPECT_EQ(formatChecked("[%.1s]", {"\u4E2D\u6587"}), "[]");
    EXPECT_EQ(formatChecked("[%.4s]", {"\u4E2D\u6587"}), "[\u4E2D]");
    EXPECT_EQ(formatChecked(u"[%.1s]", {u"\u4E2D\u6587"}), u"[\u4E2D]");
    EXPECT_EQ(formatChecked(u"[%.1s]", {u"\U0001F600"}), u"[]");
}

struct Refused {
    const char* text;
    std::vector<FormatArg> args;
    const char* reason;  // a part of the reason reported
    std::size_t offset;
    const char* shown;
};

TEST(CheckedFormat, RefusesHostileTextsAndShowsThemAsTheyStand) {
    const std::vector<Refused> cases = {
        {"%s%s%s%n", {"4-2"}, "%n", 6, "%s%s%s%n [4-2]"},
        {"<Layer:%s> %n", {"4-2"}, "%n", 11, "<Layer:%s> %n [4-2]"},
        {"%999999d", {5}, "width over 64", 0, "%999999d [5]"},
        {"%65d", {5}, "width over 64", 0, "%65d [5]"},
        {"%.9999s", {"4-2"}, "precision over 64", 0, "%.9999s [4-2]"},
        {"%", {}, "without a conversion", 0, "%"},
        {"Layer %s: 50%", {"4-2"}, "without a conversion", 12, "Layer %s: 50% [4-2]"},
        {"%*d", {5, 5}, "* width", 0, "%*d [5, 5]"},
        {"%.*s", {5, "x"}, "* precision", 0, "%.*s [5, x]"},
        {"%ls", {"4-2"}, "unknown conversion", 0, "%ls [4-2]"},
        {"%lld %hd %p %f %1$s %5%", {1}, "unknown conversion", 0, "%lld %hd %p %f %1$s %5% [1]"},
        {"%\u4E2D", {1}, "unknown conversion", 0, "%\u4E2D [1]"},
        {"<Layer:%s> took %dMS",
         {"4-2"},
         "more conversions than the 1 argument",
         16,
         "<Layer:%s> took %dMS [4-2]"},
        {"%d succeeded, %d failed", {3}, "more conversions", 14, "%d succeeded, %d failed [3]"},
        {"Batch done", {15, 1}, "0 conversion(s) for 2 arguments", 0, "Batch done [15, 1]"},
        {"<Layer:%s>", {"4-2", 9}, "1 conversion(s) for 2 arguments", 0, "<Layer:%s> [4-2, 9]"},
        {"<Layer:%d>", {"4-2"}, "wants an integer but gets a text", 7, "<Layer:%d> [4-2]"},
        {"%s ok", {7}, "wants a text but gets an integer", 0, "%s ok [7]"},
        {"%c", {"A"}, "wants an integer", 0, "%c [A]"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<FormatRefusal> narrow, wide;
        std::string reportedText;
        EXPECT_EQ(formatChecked(c.text, c.args,
                                [&](std::string_view text, const FormatRefusal& r) {
                                    reportedText = text;
                                    narrow.push_back(r);
                                }),
                  c.shown);
        EXPECT_EQ(reportedText, c.text);
        EXPECT_EQ(
            formatChecked(utf16FromUtf8(c.text), wideArgs(c.args),
                          [&](std::u16string_view, const FormatRefusal& r) { wide.push_back(r); }),
            utf16FromUtf8(c.shown));
        ASSERT_EQ(narrow.size(), 1u);
        ASSERT_EQ(wide.size(), 1u);
        EXPECT_NE(narrow[0].reason.find(c.reason), std::string::npos) << narrow[0].reason;
        EXPECT_EQ(narrow[0].reason, wide[0].reason);
        EXPECT_EQ(narrow[0].offset, c.offset);
        EXPECT_EQ(wide[0].offset, c.offset);
    }
}

TEST(CheckedFormat, EmptyTextIsNoLanguageFileNotARefusal) {
    int reports = 0;
    EXPECT_EQ(formatChecked("", {"4-2"}, [&](auto, const FormatRefusal&) { ++reports; }), "");
    EXPECT_EQ(formatChecked(u"", {1, 2}), u"");
    EXPECT_EQ(reports, 0);
    // Without a report the refused text still shows as it stands.
    EXPECT_EQ(formatChecked("%n", {}), "%n");
}

}  // namespace
}  // namespace cv50::apps
