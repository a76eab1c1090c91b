// Windows only: PortCell, a static control of the port grid with its own text colour, a
// background, and a blink between two colours by a timer of its own.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace cv50::batch::win32 {

class PortCell {
public:
    // The system's colours: -1 for a background or a text colour.
    static constexpr COLORREF kSystem = static_cast<COLORREF>(-1);

    PortCell() = default;
    ~PortCell();
    PortCell(const PortCell&) = delete;
    PortCell& operator=(const PortCell&) = delete;

    // The static control this cell draws; its timer messages come here from now on.
    void attach(HWND control);

    void setBackground(COLORREF colour);
    void setTextColour(COLORREF colour);
    void setBlinkColours(COLORREF first, COLORREF second);
    // Period codes 0, 1 and 2 stand for 2000, 1000 and 500 ms; any other value is the period.
    void startBlink(int period);
    // The timer stops and the background shows again.
    void stopBlink();

    // For WM_CTLCOLORSTATIC of this cell: the text colour set on `dc`, the brush returned.
    HBRUSH colours(HDC dc);
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    COLORREF shownBackground() const;
    void repaint();

    HWND window_ = nullptr;
    COLORREF background_ = kSystem, text_ = kSystem;
    COLORREF blinkFirst_ = kSystem, blinkSecond_ = kSystem;
    bool blinking_ = false, showingFirst_ = true;
    HBRUSH brush_ = nullptr;
    COLORREF brushColour_ = 0;
};

}  // namespace cv50::batch::win32
