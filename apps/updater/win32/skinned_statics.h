// Windows only: the updater's coloured status texts and its link text, both plain static
// controls of a dialog. The dialog hands WM_CTLCOLORSTATIC to colourOf().
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <map>
#include <string>

namespace cv50::updater::win32 {

inline constexpr COLORREF kSystemColour = CLR_INVALID;

// Static controls of one dialog drawn in a text colour of their own.
class ColourStatics {
public:
    ~ColourStatics();
    // kSystemColour: the system's button-text colour. Repaints.
    void setTextColour(HWND control, COLORREF colour);
    void setBackColour(HWND control, COLORREF colour);
    void setText(HWND control, const std::wstring& text);
    // For WM_CTLCOLORSTATIC: the brush to paint `control` with, or nullptr for one it does
    // not colour.
    HBRUSH colourOf(HDC dc, HWND control);

private:
    struct Colours {
        COLORREF text = kSystemColour, back = kSystemColour;
        HBRUSH brush = nullptr;
    };
    std::map<HWND, Colours> colours_;
};

// A static that opens its target with the shell when its text is clicked: underlined, drawn
// in blue, with the hand cursor over the text and the arrow beside it.
class LinkText {
public:
    ~LinkText();
    // Takes over `control`, a static with SS_NOTIFY, in the font of its dialog.
    void attach(HWND control);
    void setCaption(const std::wstring& caption);
    void setTarget(const std::wstring& target) { target_ = target; }
    HWND window() const { return control_; }
    // For WM_CTLCOLORSTATIC of the link.
    HBRUSH colour(HDC dc);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool overText(POINT client);

    HWND control_ = nullptr;
    WNDPROC original_ = nullptr;
    HFONT font_ = nullptr;
    SIZE extent_{};
    bool measured_ = false;
    bool tracking_ = false;
    std::wstring target_;
};

}  // namespace cv50::updater::win32
