// The portable profile reader against the table of what the system's functions read.
#include "sim/profile_file.h"

#include <gtest/gtest.h>

#include "base/unicode.h"
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

}  // namespace
}  // namespace cv50::sim
