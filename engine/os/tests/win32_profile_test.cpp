// Windows only: the real profile functions and folder search against the simulator's, on the
// same files. Under Wine this pins down what the portable reader must copy.
#include <gtest/gtest.h>

#include "base/unicode.h"
#include "engine/os/win32/win32_os.h"
#include "sim/sim_os.h"
#include "sim/testing/profile_cases.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::os {
namespace {

using base::utf16FromUtf8;
using base::utf8FromUtf16;
using sim::testing::CodePage;
using sim::testing::writeTextFile;

class RealAndSimulated : public ::testing::Test {
protected:
    std::unique_ptr<Os> real = makeWin32Os();
    sim::SimOs simulated{sim::Scenario{}};
    sim::testing::TempFolder dir;
};

TEST_F(RealAndSimulated, ReadTheTableOfStringsAlike) {
    int n = 0;
    for (const sim::testing::ProfileCase& c : sim::testing::profileCases()) {
        SCOPED_TRACE(c.name);
        // A file of its own for each case: the system keeps read files in a cache.
        const std::string path = dir.path() + "\\case" + std::to_string(n++) + ".ini";
        if (c.file) writeTextFile(path, *c.file);
        const std::u16string widePath = utf16FromUtf8(path);
        const std::string section = utf8FromUtf16(c.section), key = utf8FromUtf16(c.key),
                          fallback = utf8FromUtf16(c.fallback);
        if (c.codePage != CodePage::BothDepend)
            EXPECT_EQ(real->profileStringW(widePath, c.section, c.key, c.fallback, c.size), c.wide);
        EXPECT_EQ(simulated.profileStringW(widePath, c.section, c.key, c.fallback, c.size), c.wide);
        if (c.codePage == CodePage::Independent)
            EXPECT_EQ(real->profileString(path, section, key, fallback, c.size), c.narrow);
        EXPECT_EQ(simulated.profileString(path, section, key, fallback, c.size), c.narrow);
    }
}

TEST_F(RealAndSimulated, ReadTheTableOfIntegersAlike) {
    int n = 0;
    for (const sim::testing::ProfileIntCase& c : sim::testing::profileIntCases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path() + "\\int" + std::to_string(n++) + ".ini";
        writeTextFile(path, c.file);
        const std::u16string widePath = utf16FromUtf8(path);
        const std::string key = utf8FromUtf16(c.key);
        EXPECT_EQ(real->profileIntW(widePath, u"S", c.key, c.fallback), c.expected);
        EXPECT_EQ(real->profileInt(path, "S", key, c.fallback), c.expected);
        EXPECT_EQ(simulated.profileIntW(widePath, u"S", c.key, c.fallback), c.expected);
        EXPECT_EQ(simulated.profileInt(path, "S", key, c.fallback), c.expected);
    }
}

TEST_F(RealAndSimulated, SearchFoldersAlike) {
    for (const char* name :
         {"b.ini", "A.ini", "c.INI", "_x.ini", "Z.ini", "notes.txt", "x.ini.bak", "f.in", ".ini"})
        writeTextFile(dir.path() + "\\" + name, "");
    dir.makeFolder("dir.ini");
    const std::vector<FoundFile> ini = {{".ini", false},  {"A.ini", false},  {"b.ini", false},
                                        {"c.INI", false}, {"dir.ini", true}, {"Z.ini", false},
                                        {"_x.ini", false}};
    for (const std::string& pattern : {dir.path() + "\\*.ini", dir.path() + "/*.INI"}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(real->findFiles(pattern), ini);
        EXPECT_EQ(simulated.findFiles(pattern), ini);
    }
    for (const std::string& pattern : {dir.path() + "\\*", dir.path() + "\\*.*",
                                       dir.path() + "\\?.ini", dir.path() + "\\none\\*.ini"}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(real->findFiles(pattern), simulated.findFiles(pattern));
    }
    const std::u16string wide = utf16FromUtf8(dir.path() + "\\*.ini");
    EXPECT_EQ(real->findFilesW(wide), simulated.findFilesW(wide));
    EXPECT_EQ(real->findFilesW(wide).size(), ini.size());
}

// The one known difference: the system also matches the short 8.3 name, which turns the
// extension ".inix" into ".INI"; the simulator matches long names only.
TEST_F(RealAndSimulated, OnlyTheSystemMatchesShortNames) {
    writeTextFile(dir.path() + "\\e.inix", "");
    const std::string pattern = dir.path() + "\\*.ini";
    EXPECT_EQ(real->findFiles(pattern), (std::vector<FoundFile>{{"e.inix", false}}));
    EXPECT_TRUE(simulated.findFiles(pattern).empty());
}

TEST_F(RealAndSimulated, WideOpenForAppendingCreatesTheFile) {
    for (Os* backend : {real.get(), static_cast<Os*>(&simulated)}) {
        const std::u16string path = utf16FromUtf8(dir.path() + "\\") +
                                    (backend == real.get() ? u"r" : u"s") + u"\u8BBE\u7F6E.ini";
        std::FILE* f = backend->openFileW(path, "ab");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        EXPECT_EQ(backend->profileStringW(path, u"S", u"k", u"empty", 10), u"empty");
        EXPECT_EQ(real->findFilesW(path).size(), 1u);
    }
}

}  // namespace
}  // namespace cv50::os
