// Windows only: a self-drawn text label made at run time (the splash's version line): a
// subclassed STATIC child whose object hangs on it as the window property "CLASSPOINTER".
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace cv50::updater::win32 {

class LabelWindow {
public:
    struct Params {
        HWND parent = nullptr;
        int id = 0;
        int x = 0, y = 0, width = 0, height = 0;  // both sizes above 0
        std::wstring face;                        // required
        int fontHeight = 0;
        bool bold = false, italic = false;
        COLORREF text = 0, hoverText = 0;
        COLORREF background = 0;
        bool opaque = false;
        HCURSOR cursor = nullptr;
        bool useCursor = false;
        std::function<void()> onClick;
        std::wstring caption;
    };

    // Nothing when the parent is not a window, a size is not positive, the face is missing,
    // or the window, its property or its font cannot be made.
    static std::unique_ptr<LabelWindow> create(Params params);
    // The font, the brush, the property and the window go.
    ~LabelWindow();
    LabelWindow(const LabelWindow&) = delete;
    LabelWindow& operator=(const LabelWindow&) = delete;

    HWND window() const { return window_; }

private:
    explicit LabelWindow(Params params) : p_(std::move(params)) {}
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void trackHover(bool mayCapture);

    Params p_;
    HWND window_ = nullptr;
    WNDPROC original_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;
    bool hover_ = false;
};

}  // namespace cv50::updater::win32
