// The portable profile reader against the table of what the system's functions read.
#include "sim/profile_file.h"

#include <gtest/gtest.h>

#include "base/unicode.h"
#include "sim/testing/hostile_files.h"
#include "sim/testing/profile_cases.h"

namespace cv50::sim {
namespace {

using base::utf8FromUtf16;

TEST(ProfileFile, ReadsStringsAsTheSystemDoes) {
    for (const testing::ProfileCase& c : testing::profileCases()) {
        SCOPED_TRACE(c.name);
        const ProfileFile file(c.file.value_or(""));
        EXPECT_EQ(file.readStringW(c.section, c.key, c.fallback, c.size), c.wide);
        EXPECT_EQ(file.readString(utf8FromUtf16(c.section), utf8FromUtf16(c.key),
                                  utf8FromUtf16(c.fallback), c.size),
                  c.narrow);
    }
}

TEST(ProfileFile, ReadsIntegersAsTheSystemDoes) {
    for (const testing::ProfileIntCase& c : testing::profileIntCases()) {
        SCOPED_TRACE(c.name);
        const ProfileFile file(c.file);
        EXPECT_EQ(file.readIntW(u"S", c.key, c.fallback), c.expected);
        EXPECT_EQ(file.readInt("S", utf8FromUtf16(c.key), c.fallback), c.expected);
    }
}

TEST(ProfileFile, NarrowCutsKeepWholeCharacters) {
    // Three UTF-16 units, nine UTF-8 bytes: a narrow read of 8 holds two characters.
    const ProfileFile file(testing::utf16File(u"[S]\r\nk=\u8BED\u8A00\u6587\r\n"));
    EXPECT_EQ(file.readString("S", "k", "", 8), "\u8BED\u8A00");
    EXPECT_EQ(file.readString("S", "k", "", 10), "\u8BED\u8A00\u6587");
    EXPECT_EQ(file.readStringW(u"S", u"k", u"", 3), u"\u8BED\u8A00");
}

TEST(ProfileFile, HostileFilesReadAsTheGoodFileOrAsNone) {
    using Reads = testing::HostileFile::Reads;
    const std::string good = "[S]\nname=\u8BED\u8A00 x\ncount=31\n[T]\nempty=\n";
    for (const testing::HostileFile& h : testing::hostileFiles(good)) {
        SCOPED_TRACE(h.kind);
        const ProfileFile file(h.bytes);
        if (h.reads == Reads::None) {
            EXPECT_EQ(file.readString("S", "name", "-", 1000), "-");
            EXPECT_EQ(file.readIntW(u"S", u"count", -1), -1);
            EXPECT_EQ(file.readStringW(u"T", u"empty", u"-", 10), u"-");
            continue;
        }
        // Over-long values are cut to the buffer: 999 units, the narrow ones in whole
        // characters (the two Chinese ones take 3 bytes each).
        const bool longValues = h.reads == Reads::LongValues;
        EXPECT_EQ(file.readString("S", "name", "-", 1000),
                  "\u8BED\u8A00 x" + std::string(longValues ? 991 : 0, 'A'));
        EXPECT_EQ(file.readStringW(u"S", u"name", u"-", 1000),
                  u"\u8BED\u8A00 x" + std::u16string(longValues ? 995 : 0, u'A'));
        EXPECT_EQ(file.readInt("S", "count", -1), 31);
        EXPECT_EQ(file.readString("T", "empty", "-", 10), std::string(longValues ? 9 : 0, 'A'));
    }
}

}  // namespace
}  // namespace cv50::sim
