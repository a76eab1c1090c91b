// The simulator's profile files and folder search, through the seam and the host's files.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/unicode.h"
#include "sim/sim_os.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::sim {
namespace {

namespace fs = std::filesystem;
using base::utf16FromUtf8;
using os::FoundFile;
using testing::writeTextFile;

fs::path hostOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

class SimOsProfile : public ::testing::Test {
protected:
    SimOs sim{Scenario{}};
    testing::TempFolder dir;
    // Engine paths use "\"; the simulator maps them to the host's.
    std::string enginePath(const std::string& name) const { return dir.path() + "\\" + name; }
};

TEST_F(SimOsProfile, ReadsTheHostFileBehindAnEnginePath) {
    writeTextFile(dir.file("setting.ini"), "[SYSTEM]\r\nLANGUAGE = English\r\nLOG=7\r\n");
    const std::string path = enginePath("setting.ini");
    EXPECT_EQ(sim.profileString(path, "system", "language", "x", 100), "English");
    EXPECT_EQ(sim.profileString(path, "SYSTEM", "LANGUAGE", "x", 4), "Eng");
    EXPECT_EQ(sim.profileStringW(utf16FromUtf8(path), u"SYSTEM", u"LANGUAGE", u"x", 100),
              u"English");
    EXPECT_EQ(sim.profileInt(path, "SYSTEM", "LOG", 1), 7);
    EXPECT_EQ(sim.profileIntW(utf16FromUtf8(path), u"SYSTEM", u"FORCEERASE", 1), 1);
}

TEST_F(SimOsProfile, MissingFileOrAFolderGivesTheFallback) {
    dir.makeFolder("folder.ini");
    for (const std::string& path : {enginePath("none.ini"), enginePath("folder.ini"),
                                    enginePath("no folder\\x.ini"), std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(sim.profileString(path, "S", "k", "dflt", 100), "dflt");
        EXPECT_EQ(sim.profileStringW(utf16FromUtf8(path), u"S", u"k", u"dflt", 100), u"dflt");
        EXPECT_EQ(sim.profileInt(path, "S", "k", -3), -3);
    }
}

TEST_F(SimOsProfile, FolderSearchMatchesWithoutCaseInTheSystemsOrder) {
    for (const char* name : {"b.ini", "A.ini", "c.INI", "_x.ini", "notes.txt", "x.ini.bak"})
        writeTextFile(dir.file(name), "");
    dir.makeFolder("dir.ini");
    // Names compare in upper case, so "_" comes after the letters.
    const std::vector<FoundFile> ini = {
        {"A.ini", false}, {"b.ini", false}, {"c.INI", false}, {"dir.ini", true}, {"_x.ini", false}};
    EXPECT_EQ(sim.findFiles(enginePath("*.ini")), ini);

    const std::vector<FoundFile> all = sim.findFiles(enginePath("*"));
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(all[0], (FoundFile{".", true}));
    EXPECT_EQ(all[1], (FoundFile{"..", true}));
    EXPECT_EQ(sim.findFiles(enginePath("*.*")), all);
    EXPECT_EQ(sim.findFiles(enginePath("?.ini")).size(), 3u);

    EXPECT_TRUE(sim.findFiles(enginePath("none\\*.ini")).empty());
    EXPECT_TRUE(sim.findFiles(enginePath("*.cfg")).empty());
}

TEST_F(SimOsProfile, WideFolderSearchKeepsChineseNames) {
    writeTextFile(hostOf(dir.path() + "/\u4E2D\u6587.ini"), "");
    const auto found = sim.findFilesW(utf16FromUtf8(enginePath("*.INI")));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, u"\u4E2D\u6587.ini");
    EXPECT_FALSE(found[0].folder);
}

TEST_F(SimOsProfile, WideOpenForAppendingCreatesAndKeeps) {
    const std::u16string path = utf16FromUtf8(enginePath("\u8BBE\u7F6E.ini"));
    for (const char* text : {"[S]\n", "k=v\n"}) {
        std::FILE* f = sim.openFileW(path, "ab");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }
    EXPECT_EQ(sim.profileStringW(path, u"S", u"k", u"", 10), u"v");
    EXPECT_EQ(sim.openFileW(utf16FromUtf8(enginePath("none\\x.ini")), "ab"), nullptr);
}

}  // namespace
}  // namespace cv50::sim
