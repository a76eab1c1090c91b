// Long names and the 8.3 names the packer gives them.
#include "fwpkg/fat_names.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace cv50::fwpkg {
namespace {

std::string text(const ShortName& n) { return std::string(n.begin(), n.end()); }

TEST(FatNames, ExactShortNamesAreOnlyUpperCaseValid83Names) {
    ShortName n;
    EXPECT_TRUE(exactShortName("CVBOOT.BIN", n));
    EXPECT_EQ(text(n), "CVBOOT  BIN");
    EXPECT_TRUE(exactShortName("README", n));
    EXPECT_EQ(text(n), "README     ");
    for (const char* name :
         {"readme.txt", "LONGERNAME.TXT", "A.TEXT", "A B.TXT", "A.B.C", ".HIDDEN", "X."})
        EXPECT_FALSE(exactShortName(name, n)) << name;
}

TEST(FatNames, GeneratedNamesGetNumericTailsAndStayUnique) {
    std::vector<ShortName> taken;
    const ShortName a = generatedShortName("Firmware Notes.txt", taken);
    EXPECT_EQ(text(a), "FIRMWA~1TXT");
    taken.push_back(a);
    const ShortName b = generatedShortName("firmware-notes.txt", taken);
    EXPECT_EQ(text(b), "FIRMWA~2TXT");
    taken.push_back(b);
    EXPECT_EQ(text(generatedShortName(".bashrc", {})), "BASHRC~1   ");
    EXPECT_EQ(text(generatedShortName("archive.tar.gz", {})), "ARCHIV~1GZ ");
    EXPECT_EQ(text(generatedShortName("über+x.jpeg", {})), "__BER_~1JPE");
    // Ten and more take a shorter stem, never a longer name.
    for (int i = 0; i < 12; ++i) taken.push_back(generatedShortName("Firmware Notes.txt", taken));
    EXPECT_EQ(text(taken.back()), "FIRMW~14TXT");
}

TEST(FatNames, LongNamesThatFatCannotHoldAreRefused) {
    EXPECT_EQ(checkedLongName("Grüße 😀.txt").size(), 12u);  // the emoji takes two units
    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "a:b", "a*b", "tab\tname", "dot.", "space ",
                                  std::string("\xC3\x28", 2), std::string(256, 'x')})
        EXPECT_THROW(checkedLongName(bad), std::runtime_error) << bad;
    EXPECT_NO_THROW(checkedLongName(std::string(255, 'x')));
}

TEST(FatNames, LongNameEntriesRunBackwardsWithTheChecksumOfTheShortName) {
    ShortName s;
    ASSERT_FALSE(exactShortName("a rather long name.txt", s));
    s = generatedShortName("a rather long name.txt", {});
    const std::u16string name = checkedLongName("a rather long name.txt");  // 22 units
    const auto entries = longNameEntries(name, s);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0][0], 0x42);  // last part first, with the 0x40 mark
    EXPECT_EQ(entries[1][0], 0x01);
    for (const auto& e : entries) {
        EXPECT_EQ(e[11], 0x0F);
        EXPECT_EQ(e[13], shortNameChecksum(s));
    }
    EXPECT_EQ(entries[1][1], 'a');
    // The second part holds units 13-21, the NUL after them, then 0xFFFF padding.
    EXPECT_EQ(entries[0][1], name[13]);
    EXPECT_EQ(entries[0][22] | entries[0][23] << 8, 0);  // unit 22: the NUL
    EXPECT_EQ(entries[0][30] | entries[0][31] << 8, 0xFFFF);
}

}  // namespace
}  // namespace cv50::fwpkg
