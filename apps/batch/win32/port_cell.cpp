#include "apps/batch/win32/port_cell.h"

#include <commctrl.h>

namespace cv50::batch::win32 {
namespace {

constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT_PTR kSubclassId = 0xCE11;

COLORREF resolved(COLORREF colour, int systemColour) {
    return colour == PortCell::kSystem ? GetSysColor(systemColour) : colour;
}

}  // namespace

PortCell::~PortCell() {
    if (window_ != nullptr) {
        KillTimer(window_, kBlinkTimer);
        RemoveWindowSubclass(window_, subclassProc, kSubclassId);
    }
    if (brush_ != nullptr) DeleteObject(brush_);
}

void PortCell::attach(HWND control) {
    window_ = control;
    SetWindowSubclass(control, subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void PortCell::setBackground(COLORREF colour) {
    background_ = colour;
    repaint();
}

void PortCell::setTextColour(COLORREF colour) {
    text_ = colour;
    repaint();
}

void PortCell::setBlinkColours(COLORREF first, COLORREF second) {
    blinkFirst_ = first;
    blinkSecond_ = second;
    if (blinking_) repaint();
}

void PortCell::startBlink(int period) {
    const UINT ms = period == 0 ? 2000 : period == 1 ? 1000 : period == 2 ? 500
                                                                          : static_cast<UINT>(period);
    blinking_ = true;
    showingFirst_ = true;
    SetTimer(window_, kBlinkTimer, ms, nullptr);
    repaint();
}

void PortCell::stopBlink() {
    if (!blinking_) return;
    blinking_ = false;
    KillTimer(window_, kBlinkTimer);
    repaint();
}

COLORREF PortCell::shownBackground() const {
    if (blinking_) return resolved(showingFirst_ ? blinkFirst_ : blinkSecond_, COLOR_BTNFACE);
    return resolved(background_, COLOR_BTNFACE);
}

HBRUSH PortCell::colours(HDC dc) {
    const COLORREF back = shownBackground();
    if (brush_ == nullptr || brushColour_ != back) {
        if (brush_ != nullptr) DeleteObject(brush_);
        brush_ = CreateSolidBrush(back);
        brushColour_ = back;
    }
    SetTextColor(dc, resolved(text_, COLOR_BTNTEXT));
    SetBkColor(dc, back);
    return brush_;
}

void PortCell::repaint() {
    if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK PortCell::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
    if (message == WM_TIMER && wParam == kBlinkTimer) {
        auto* cell = reinterpret_cast<PortCell*>(self);
        cell->showingFirst_ = !cell->showingFirst_;
        cell->repaint();
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace cv50::batch::win32
