// The language files the build ships for the updater and the production tool: both languages
// under their names, UTF-16 with the same keys, and every text a program looks up there and
// fitting what the program passes to it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "apps/common/checked_format.h"
#include "apps/common/language_files.h"
#include "apps/common/tests/shipped_languages.h"
#include "base/host.h"
#include "base/unicode.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::apps {
namespace {

using base::utf16FromUtf8;
using base::utf8FromUtf16;

using Args = std::vector<FormatArgW>;
struct Use {
    int key;
    Args args;
};

// Every text the updater looks up, with what it passes.
std::vector<Use> updaterUses() {
    std::vector<Use> uses = {{6, {u"Corv USB"}},
                             {30, {u"CV50 SDK"}},
                             {39, {u"CV50 Device Manager"}},
                             {52, {u"C:\\a.img"}}};
    for (int key : {20,  21,  28,  29,  31,  38,  40,  41,  44,  47,  49,  50,  53,  54,  81,  82,
                    83,  84,  88,  89,  90,  91,  92,  93,  101, 102, 103, 104, 105, 106, 107, 108,
                    109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124})
        uses.push_back({key, {}});
    return uses;
}

// Every text of the production tool, with what it passes (a port's Layer first).
std::vector<Use> productionUses() {
    std::vector<Use> uses = {{45, {3}},     {46, {2, 1}},         {71, {2}},
                             {86, {12, 8}}, {64, {u"1-2", 1500}}, {78, {u"1-2", 900}}};
    for (int key : {1,  2,  3,  9,  10, 12, 36, 37, 47, 48, 49, 50, 51, 52, 59,
                    61, 62, 63, 68, 69, 72, 73, 74, 75, 76, 77, 79, 80, 87, 88})
        uses.push_back({key, {u"1-2"}});
    for (int key : {40, 41, 42, 43, 44, 53, 54, 55, 56, 84, 85}) uses.push_back({key, {}});
    return uses;
}

struct Program {
    const char* name;  // its folder under language/
    std::vector<Use> (*uses)();
    std::vector<const char16_t*> controls;  // dialog texts it must find
    std::vector<const char16_t*> absent;    // keys left out on purpose
};

const Program kUpdater{"CV50DeviceManager", updaterUses,
                       {u"IDD102_1002", u"IDD102_1006", u"IDD102_1005", u"IDD102_1049"},
                       // The window title is APPTITLE's, and the link keeps HOMEPAGE.
                       {u"IDD102_TITLE", u"IDD102_1029"}};
const Program kProduction{"CV50BatchUpgrade", productionUses,
                          {u"IDD129_TITLE", u"IDD129_1022", u"IDD129_1001", u"IDD129_1029"},
                          {}};

std::string folderOf(const Program& program) {
    return std::string(CV50_LANGUAGE_DIR) + "/" + program.name;
}

class ShippedLanguage
    : public ::testing::TestWithParam<std::tuple<const Program*, const char*>> {
protected:
    const Program& program() const { return *std::get<0>(GetParam()); }
    std::u16string file() const {
        return utf16FromUtf8(folderOf(program()) + "/" + std::get<1>(GetParam()));
    }
    std::u16string text(const std::u16string& key) const { return lookUpText(file(), key, 512); }
    std::u16string ids(int key) const { return text(utf16FromUtf8("IDS_" + std::to_string(key))); }

    sim::testing::ScopedSim world{R"({"controllers": []})"};
};

TEST_P(ShippedLanguage, EveryTextIsThereAndFitsWhatItsProgramPasses) {
    for (const Use& use : program().uses()) {
        SCOPED_TRACE("IDS_" + std::to_string(use.key));
        const std::u16string t = ids(use.key);
        EXPECT_FALSE(t.empty());
        int refusals = 0;
        formatChecked(t, use.args, [&](auto, const FormatRefusal&) { ++refusals; });
        EXPECT_EQ(refusals, 0) << utf8FromUtf16(t);
    }
    for (const char16_t* control : program().controls)
        EXPECT_FALSE(text(control).empty()) << utf8FromUtf16(control);
    for (const char16_t* key : program().absent)
        EXPECT_TRUE(text(key).empty()) << utf8FromUtf16(key);
}

TEST(ShippedLanguage, UpdaterTextsKeepWhatFollowsThemApart) {
    sim::testing::ScopedSim world{R"({"controllers": []})"};
    for (const char* name : {"English.ini", "Chinese.ini"}) {
        const std::u16string file = utf16FromUtf8(folderOf(kUpdater) + "/" + name);
        EXPECT_EQ(lookUpText(file, u"IDS_83", 512).back(), u' ') << name;
        EXPECT_EQ(lookUpText(file, u"IDS_93", 512).substr(0, 2), u"\n\n") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachProgramEachLanguage, ShippedLanguage,
    ::testing::Combine(::testing::Values(&kUpdater, &kProduction),
                       ::testing::Values("English.ini", "Chinese.ini")));

TEST(ShippedLanguages, BothAreOfferedUnderTheirNamesWithTheSameKeysAsUtf16) {
    sim::testing::ScopedSim world{R"({"controllers": []})"};
    for (const Program* program : {&kUpdater, &kProduction}) {
        SCOPED_TRACE(program->name);
        const std::string folder = folderOf(*program);
        const std::vector<LanguageW> languages = listLanguages(utf16FromUtf8(folder));
        ASSERT_EQ(languages.size(), 2u);
        const LanguageW* english = chooseLanguage(languages, u"english");
        const LanguageW* chinese = chooseLanguage(languages, u"\u7B80\u4F53\u4E2D\u6587");
        ASSERT_TRUE(english && chinese);
        // The narrow form of the production tool finds the same names.
        const std::vector<Language> narrow = listLanguages(folder);
        ASSERT_EQ(narrow.size(), 2u);
        EXPECT_TRUE(chooseLanguage(narrow, "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"));

        const auto keysOf = [](const std::u16string& path) {
            std::string mark;
            const auto keys = testing::shippedKeys(base::hostPath(utf8FromUtf16(path)), &mark);
            EXPECT_EQ(mark, "\xFF\xFE") << "no UTF-16 byte-order mark";
            return std::set<std::pair<std::u16string, std::u16string>>(keys.begin(), keys.end());
        };
        EXPECT_EQ(keysOf(english->path), keysOf(chinese->path));
    }
}

}  // namespace
}  // namespace cv50::apps
