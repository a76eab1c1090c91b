// Windows only: a language file applied to real windows through the real profile calls.
// Windows need a display: under a headless Wine these tests skip.
#include <gtest/gtest.h>

#include "apps/common/win32/dialog_language.h"
#include "base/unicode.h"
#include "sim/testing/profile_cases.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::apps::win32 {
namespace {

std::u16string textOf(HWND window) {
    wchar_t buf[256] = {};
    GetWindowTextW(window, buf, 256);
    return reinterpret_cast<const char16_t*>(buf);
}

class AppliedDialog : public ::testing::Test {
protected:
    AppliedDialog() {
        dialog = CreateWindowExW(0, L"STATIC", L"\u5185\u7F6E", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
        upgrade = child(L"BUTTON", 1002);
        unnamed = child(L"Static", -1);
        path = child(L"EDIT", 1003);
        label = child(L"static", 1010);
    }
    ~AppliedDialog() override { DestroyWindow(dialog); }

    bool created() const { return dialog && upgrade && unnamed && path && label; }

    HWND child(const wchar_t* className, int id) {
        return CreateWindowExW(0, className, L"built-in", WS_CHILD, 0, 0, 50, 20, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string file = dir.path() + "\\" + name;
        sim::testing::writeTextFile(file, bytes);
        return file;
    }

    sim::testing::TempFolder dir;
    HWND dialog, upgrade, unnamed, path, label;
};

TEST_F(AppliedDialog, SetsCaptionButtonsAndStaticsOnly) {
    if (!created()) GTEST_SKIP() << "no window can be created without a display (run under Xvfb)";
    const std::string file =
        write("zh.ini", sim::testing::utf16File(u"[String]\r\nIDD102_TITLE=\u8BBE\u5907\r\n"
                                                u"IDD102_1002=\u5347\u7EA7\r\nIDD102_-1=x\r\n"
                                                u"IDD102_1003=x\r\nIDD102_1010=Label\r\n"));
    applyLanguage(dialog, 102, base::utf16FromUtf8(file));
    EXPECT_EQ(textOf(dialog), u"\u8BBE\u5907 v2.22");
    EXPECT_EQ(textOf(upgrade), u"\u5347\u7EA7");
    EXPECT_EQ(textOf(label), u"Label");
    EXPECT_EQ(textOf(unnamed), u"built-in");
    EXPECT_EQ(textOf(path), u"built-in");
}

TEST_F(AppliedDialog, NarrowFormAndAnEmptyTitle) {
    if (!created()) GTEST_SKIP() << "no window can be created without a display (run under Xvfb)";
    const std::string file =
        write("en.ini", "[String]\r\nIDD102_TITLE=\r\nIDD102_1002=Upgrade\r\n");
    applyLanguage(dialog, 102, file);
    EXPECT_EQ(textOf(dialog), u"\u5185\u7F6E");
    EXPECT_EQ(textOf(upgrade), u"Upgrade");
    applyLanguage(dialog, 102, std::string());
    EXPECT_EQ(textOf(upgrade), u"Upgrade");
}

}  // namespace
}  // namespace cv50::apps::win32
