// Windows only: the real window calls of the os seam on a window of the test's own. Windows
// need a display: under a headless Wine these tests skip.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/unicode.h"
#include "engine/os/win32/win32_os.h"

namespace cv50::os {
namespace {

Window windowOf(HWND h) { return static_cast<Window>(reinterpret_cast<std::uintptr_t>(h)); }

// A top-level window with a button, which records what reaches it.
class TestWindow {
public:
    TestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TestWindow::proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"cv50SeamTestWindow";
        RegisterClassW(&wc);
        top = CreateWindowExW(0, wc.lpszClassName, L"\u65B0\u786C\u4EF6 found", WS_OVERLAPPEDWINDOW,
                              0, 0, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        button = CreateWindowExW(0, L"BUTTON", L"Install anyway(&I)", WS_CHILD | WS_VISIBLE, 10,
                                 10, 150, 30, top, reinterpret_cast<HMENU>(7), wc.hInstance, nullptr);
    }
    ~TestWindow() {
        if (IsWindow(top)) DestroyWindow(top);
    }
    // Handles the posted messages for up to a second, until `done` holds.
    template <typename Done>
    bool pumpUntil(Done done) {
        for (int i = 0; i < 100 && !done(); ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(10);
        }
        return done();
    }

    HWND top = nullptr, button = nullptr;
    static inline int clicks = 0;

private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_COMMAND && LOWORD(wp) == 7 && HIWORD(wp) == BN_CLICKED) ++clicks;
        return DefWindowProcW(w, m, wp, lp);
    }
};

TEST(Win32Windows, ListsReadsPressesAndClosesAWindow) {
    TestWindow window;
    if (!window.top || !window.button)
        GTEST_SKIP() << "no window can be created without a display (run under Xvfb)";
    const auto sys = makeWin32Os();
    const auto windows = sys->topLevelWindows();
    ASSERT_TRUE(windows.has_value());
    EXPECT_NE(std::find(windows->begin(), windows->end(), windowOf(window.top)), windows->end());
    EXPECT_EQ(sys->windowText(windowOf(window.top)), base::utf8FromUtf16(u"\u65B0\u786C\u4EF6 found"));
    EXPECT_EQ(sys->childWindows(windowOf(window.top)), std::vector<Window>{windowOf(window.button)});
    EXPECT_EQ(sys->windowText(windowOf(window.button)), "Install anyway(&I)");

    sys->clickButton(windowOf(window.button));
    EXPECT_TRUE(window.pumpUntil([] { return TestWindow::clicks == 1; }));
    sys->closeWindow(windowOf(window.top));
    EXPECT_TRUE(window.pumpUntil([&] { return !IsWindow(window.top); }));
    EXPECT_EQ(sys->windowText(windowOf(window.top)), "");
}

}  // namespace
}  // namespace cv50::os
