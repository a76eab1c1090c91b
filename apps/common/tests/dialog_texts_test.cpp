// Which texts a language file gives a dialog's caption and children.
#include "apps/common/dialog_texts.h"

#include "apps/common/tests/language_fixture.h"

namespace cv50::apps {
namespace {

using testing::LanguageFolder;

// The updater's main dialog, roughly: its buttons, statics and an edit.
const std::vector<DialogChild> kChildren = {
    {1002, u"Button"}, {1006, u"BUTTON"}, {1003, u"Edit"},    {-1, u"Static"},
    {1010, u"Static"}, {1011, u"static"}, {1012, u"ListBox"}, {1013, u"SysLink"},
};

std::vector<std::pair<std::size_t, std::string>> flat(const DialogTexts& t) {
    std::vector<std::pair<std::size_t, std::string>> out;
    for (const auto& c : t.children) out.emplace_back(c.child, c.text);
    return out;
}

class DialogTextsTest : public LanguageFolder {
protected:
    DialogTextsTest() {
        write("en.ini",
              "[Setting]\nLanguage=English\n[String]\n"
              "IDD102_TITLE=Device Manager\n"
              "IDD102_1002=Upgrade\nIDD102_1006=Repair\n"
              "IDD102_1003=not for an edit\nIDD102_-1=not for id -1\n"
              "IDD102_1010=   \nIDD102_1012=not for a list\nIDD102_1013=not for a link\n"
              "IDD100_TITLE=\nIDD100_1030=About\n");
    }
};

TEST_F(DialogTextsTest, ButtonsAndStaticsGetTheirTextsAndTheCaptionItsVersion) {
    const DialogTexts texts = dialogTexts(file("en.ini"), 102, kChildren);
    EXPECT_EQ(texts.caption, "Device Manager v2.22");
    // The edit, the list, the link, id -1 and the blank and missing keys keep their texts.
    EXPECT_EQ(flat(texts),
              (std::vector<std::pair<std::size_t, std::string>>{{0, "Upgrade"}, {1, "Repair"}}));

    const DialogTextsW wide = dialogTexts(fileW("en.ini"), 102, kChildren);
    EXPECT_EQ(wide.caption, u"Device Manager v2.22");
    ASSERT_EQ(wide.children.size(), 2u);
    EXPECT_EQ(wide.children[1].child, 1u);
    EXPECT_EQ(wide.children[1].text, u"Repair");
}

TEST_F(DialogTextsTest, EmptyOrMissingTitleKeepsTheBuiltInCaption) {
    const DialogTexts about = dialogTexts(file("en.ini"), 100, {{1030, u"Static"}});
    EXPECT_FALSE(about.caption.has_value());
    EXPECT_EQ(flat(about), (std::vector<std::pair<std::size_t, std::string>>{{0, "About"}}));
    EXPECT_FALSE(dialogTexts(fileW("en.ini"), 100, {}).caption.has_value());
    EXPECT_FALSE(dialogTexts(file("en.ini"), 7, kChildren).caption.has_value());
    EXPECT_TRUE(dialogTexts(file("en.ini"), 7, kChildren).children.empty());
}

TEST_F(DialogTextsTest, NoLanguageFileChangesNothing) {
    const DialogTexts none = dialogTexts(std::string(), 102, kChildren);
    EXPECT_FALSE(none.caption.has_value());
    EXPECT_TRUE(none.children.empty());
    EXPECT_TRUE(dialogTexts(std::u16string(), 102, kChildren).children.empty());
}

TEST_F(DialogTextsTest, ChineseTextsFromAUtf16File) {
    writeUtf16("zh.ini",
               u"[String]\r\nIDD102_TITLE=\u8BBE\u5907\u7BA1\u7406\r\n"
               u"IDD102_1002=\u5347\u7EA7\r\n");
    const DialogTextsW wide = dialogTexts(fileW("zh.ini"), 102, kChildren);
    EXPECT_EQ(wide.caption, u"\u8BBE\u5907\u7BA1\u7406 v2.22");
    ASSERT_EQ(wide.children.size(), 1u);
    EXPECT_EQ(wide.children[0].text, u"\u5347\u7EA7");
    EXPECT_EQ(dialogTexts(file("zh.ini"), 102, kChildren).caption,
              "\u8BBE\u5907\u7BA1\u7406 v2.22");
}

}  // namespace
}  // namespace cv50::apps
