// Listing, choosing and looking up language files, narrow and wide, on the simulator.
#include "apps/common/language_files.h"

#include "apps/common/checked_format.h"
#include "apps/common/tests/language_fixture.h"
#include "sim/testing/hostile_files.h"

namespace cv50::apps {
namespace {

using testing::LanguageFolder;

class Listing : public LanguageFolder {
protected:
    Listing() {
        write("en.ini", "[Setting]\r\nLanguage=English\r\n[String]\r\nIDS_1=x\r\n");
        writeUtf16("zh.ini", u"[Setting]\r\nLanguage=\u7B80\u4F53\u4E2D\u6587\r\n");
        write("no-name.ini", "[String]\r\nIDS_1=x\r\n");
        write("empty-name.ini", "[Setting]\r\nLanguage=\r\n");
        write("notes.txt", "[Setting]\r\nLanguage=Notes\r\n");
        makeFolder("x.ini");
        write("x.ini/inside.ini", "[Setting]\r\nLanguage=Inside\r\n");
    }
};

TEST_F(Listing, OffersFilesWithALanguageNameInSearchOrder) {
    const std::vector<Language> expected = {{"English", file("en.ini")},
                                            {"\u7B80\u4F53\u4E2D\u6587", file("zh.ini")}};
    EXPECT_EQ(listLanguages(folder()), expected);
    // One trailing backslash is dropped.
    EXPECT_EQ(listLanguages(folder() + "\\"), expected);

    const std::vector<LanguageW> expectedW = {{u"English", fileW("en.ini")},
                                              {u"\u7B80\u4F53\u4E2D\u6587", fileW("zh.ini")}};
    EXPECT_EQ(listLanguages(folderW()), expectedW);
    EXPECT_EQ(listLanguages(folderW() + u"\\"), expectedW);
}

TEST_F(Listing, MissingFolderOffersNothing) {
    EXPECT_TRUE(listLanguages(folder() + "\\none").empty());
    EXPECT_TRUE(listLanguages(folderW() + u"\\none").empty());
}

TEST_F(LanguageFolder, WideListKeepsTheFirstTwentyCandidates) {
    for (int i = 0; i < 25; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        write("l" + n + ".ini", "[Setting]\nLanguage=L" + n + "\n");
    }
    const std::vector<LanguageW> wide = listLanguages(folderW());
    ASSERT_EQ(wide.size(), kWideLanguageCandidates);
    EXPECT_EQ(wide.front().name, u"L00");
    EXPECT_EQ(wide.back().name, u"L19");
    EXPECT_EQ(listLanguages(folder()).size(), 25u);
}

TEST_F(LanguageFolder, NarrowChoiceIsExactWideChoiceIgnoresCase) {
    write("a.ini", "[Setting]\nLanguage=english\n");
    write("b.ini", "[Setting]\nLanguage=English\n");
    write("c.ini", "[Setting]\nLanguage=English\n");
    write("d.ini", "[Setting]\nLanguage=Fran\u00E7ais\n");
    write("e.ini", "[Setting]\nLanguage=\u0420\u0443\u0441\u0441\u043A\u0438\u0439\n");

    const std::vector<Language> narrow = listLanguages(folder());
    ASSERT_EQ(narrow.size(), 5u);
    EXPECT_EQ(chooseLanguage(narrow, "English"), &narrow[1]);  // the first exact match
    EXPECT_EQ(chooseLanguage(narrow, "english"), &narrow[0]);
    EXPECT_EQ(chooseLanguage(narrow, "ENGLISH"), nullptr);
    EXPECT_EQ(chooseLanguage(narrow, "English "), nullptr);
    EXPECT_EQ(chooseLanguage({}, "English"), nullptr);

    const std::vector<LanguageW> wide = listLanguages(folderW());
    ASSERT_EQ(wide.size(), 5u);
    EXPECT_EQ(chooseLanguage(wide, u"ENGLISH"), &wide[0]);
    EXPECT_EQ(chooseLanguage(wide, u"FRAN\u00C7AIS"), &wide[3]);
    EXPECT_EQ(chooseLanguage(wide, u"\u0420\u0423\u0421\u0421\u041A\u0418\u0419"), &wide[4]);
    EXPECT_EQ(chooseLanguage(wide, u"Englis"), nullptr);
}

class LookUp : public LanguageFolder {
protected:
    LookUp() {
        write("en.ini",
              "[Setting]\nLanguage=English\n[String]\n"
              "IDS_1=Boot downloaded\\nnext step\n"
              "IDS_2=a\\tb\\rc\\\"d\\'e\n"
              "IDS_3=one \\\\n two\n"
              "IDS_4=\\\"quoted\\\"\n"
              "IDS_5=" +
                  std::string(1200, 'x') +
                  "\n"
                  "IDS_6=\u4E2D\u6587\u5B57\n");
        writeUtf16("zh.ini",
                   u"[Setting]\r\nLanguage=\u7B80\u4F53\u4E2D\u6587\r\n[String]\r\n"
                   u"IDS_10=\u5347\u7EA7\u6210\u529F\\n\u5B8C\u6210\r\n");
    }
};

TEST_F(LookUp, ReplacesTheEscapesPassByPass) {
    const std::string en = file("en.ini");
    // A backslash-n between two words gives two lines.
    EXPECT_EQ(lookUpText(en, "IDS_1", 512), "Boot downloaded\nnext step");
    EXPECT_EQ(lookUpText(en, "IDS_2", 512), "a\tb\rc\"d'e");
    // Passes, not a parser: the second backslash and the n make a line feed.
    EXPECT_EQ(lookUpText(en, "IDS_3", 512), "one \\\n two");
    // Escaped quotes are not quotes the profile reader takes off.
    EXPECT_EQ(lookUpText(en, "IDS_4", 512), "\"quoted\"");
    EXPECT_EQ(lookUpText(fileW("en.ini"), u"IDS_2", 512), u"a\tb\rc\"d'e");
}

TEST_F(LookUp, CutsToTheCallersBuffer) {
    const std::string en = file("en.ini");
    EXPECT_EQ(lookUpText(en, "IDS_1", 5), "Boot");
    EXPECT_EQ(lookUpText(en, "IDS_1", 1), "");
    EXPECT_EQ(lookUpText(en, "IDS_1", 0), "");
    // Texts are read up to 999 characters.
    EXPECT_EQ(lookUpText(en, "IDS_5", 2000), std::string(999, 'x'));
    EXPECT_EQ(lookUpText(en, "IDS_5", 512), std::string(511, 'x'));
    // Three characters of three bytes each: 8 bytes of room hold two of them.
    EXPECT_EQ(lookUpText(en, "IDS_6", 9), "\u4E2D\u6587");
    EXPECT_EQ(lookUpText(fileW("en.ini"), u"IDS_6", 3), u"\u4E2D\u6587");
}

TEST_F(LookUp, MissingKeyOrNoLanguageFileGivesAnEmptyText) {
    EXPECT_EQ(lookUpText(file("en.ini"), "IDS_99", 512), "");
    EXPECT_EQ(lookUpText(std::string(), "IDS_1", 512), "");
    EXPECT_EQ(lookUpText(file("none.ini"), "IDS_1", 512), "");
    EXPECT_EQ(lookUpText(std::u16string(), u"IDS_1", 512), u"");
}

TEST_F(LookUp, ReadsChineseFromAUtf16File) {
    EXPECT_EQ(lookUpText(fileW("zh.ini"), u"IDS_10", 512),
              u"\u5347\u7EA7\u6210\u529F\n\u5B8C\u6210");
    // The narrow form gets the same text in UTF-8.
    EXPECT_EQ(lookUpText(file("zh.ini"), "IDS_10", 512), "\u5347\u7EA7\u6210\u529F\n\u5B8C\u6210");
    const std::vector<LanguageW> languages = listLanguages(folderW());
    const LanguageW* chinese = chooseLanguage(languages, u"\u7B80\u4F53\u4E2D\u6587");
    ASSERT_NE(chinese, nullptr);
    EXPECT_EQ(chinese->path, fileW("zh.ini"));
}

TEST_F(LanguageFolder, HostileFilesAreListedAndReadAsTheGoodFileOrNotAtAll) {
    using Reads = sim::testing::HostileFile::Reads;
    const std::string good =
        "[Setting]\nLanguage=English\n[String]\nIDS_1=Port %s: %d\\n\u5B8C\u6210\n";
    for (const sim::testing::HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        write("en.ini", h.bytes);
        const std::vector<Language> narrow = listLanguages(folder());
        const std::vector<LanguageW> wide = listLanguages(folderW());
        const std::string text = lookUpText(file("en.ini"), "IDS_1", 512);
        const std::u16string textW = lookUpText(fileW("en.ini"), u"IDS_1", 512);
        const std::string shown = formatChecked(text, {std::string("1-2"), 3});
        switch (h.reads) {
            case Reads::Good:
                EXPECT_EQ(narrow, (std::vector<Language>{{"English", file("en.ini")}}));
                EXPECT_EQ(wide, (std::vector<LanguageW>{{u"English", fileW("en.ini")}}));
                EXPECT_EQ(shown, "Port 1-2: 3\n\u5B8C\u6210");
                EXPECT_EQ(textW, u"Port %s: %d\n\u5B8C\u6210");
                break;
            case Reads::None:
                EXPECT_TRUE(narrow.empty());
                EXPECT_TRUE(wide.empty());
                EXPECT_EQ(shown, "");
                EXPECT_EQ(textW, u"");
                break;
            case Reads::LongValues:
                // The name is read to 99 characters, the text to 511 bytes; its As come
                // after the conversions, which still format.
                ASSERT_EQ(narrow.size(), 1u);
                EXPECT_EQ(narrow[0].name, "English" + std::string(92, 'A'));
                ASSERT_EQ(wide.size(), 1u);
                EXPECT_EQ(wide[0].name.size(), 99u);
                EXPECT_EQ(text.size(), 511u);
                EXPECT_EQ(shown.rfind("Port 1-2: 3\n\u5B8C\u6210AAA", 0), 0u);
                EXPECT_EQ(textW.size(), 511u);
                break;
        }
    }
}

}  // namespace
}  // namespace cv50::apps
