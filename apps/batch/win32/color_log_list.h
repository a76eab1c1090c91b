// Windows only: ColorLogList, the owner-drawn list box of the main window. Every line keeps
// its text (LBS_HASSTRINGS) and a text and a background colour out of a palette of 16.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <array>
#include <string>

namespace cv50::batch::win32 {

// Black, white, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
// 0x808080, 0x0000FF (red), 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00.
extern const std::array<COLORREF, 16> kLogPalette;

class ColorLogList {
public:
    void attach(HWND list);

    // A line at the end, shown and scrolled to: CR LF pairs become blanks, the text is cut
    // to 1023 bytes; a text colour of 16 or more is 0. When the list is full, the oldest
    // lines (up to 20) make room.
    void add(int textColour, int backColour, const std::string& utf8);
    void clear();

    // WM_MEASUREITEM and WM_DRAWITEM of the list.
    void measure(MEASUREITEMSTRUCT& item) const;
    void draw(const DRAWITEMSTRUCT& item) const;

private:
    HWND list_ = nullptr;
    int widest_ = 0;
};

}  // namespace cv50::batch::win32
