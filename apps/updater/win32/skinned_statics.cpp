#include "apps/updater/win32/skinned_statics.h"

#include <shellapi.h>

namespace cv50::updater::win32 {
namespace {

constexpr COLORREF kLinkColour = 0xFF0000;
constexpr wchar_t kLinkProperty[] = L"CV50LinkText";

COLORREF actual(COLORREF colour, int system) {
    return colour == kSystemColour ? GetSysColor(system) : colour;
}

}  // namespace

ColourStatics::~ColourStatics() {
    for (auto& [window, c] : colours_)
        if (c.brush) DeleteObject(c.brush);
}

void ColourStatics::setTextColour(HWND control, COLORREF colour) {
    colours_[control].text = colour;
    InvalidateRect(control, nullptr, TRUE);
}

void ColourStatics::setBackColour(HWND control, COLORREF colour) {
    Colours& c = colours_[control];
    c.back = colour;
    if (c.brush) DeleteObject(c.brush);
    c.brush = nullptr;
    InvalidateRect(control, nullptr, TRUE);
}

void ColourStatics::setText(HWND control, const std::wstring& text) {
    SetWindowTextW(control, text.c_str());
    InvalidateRect(control, nullptr, TRUE);
}

HBRUSH ColourStatics::colourOf(HDC dc, HWND control) {
    const auto it = colours_.find(control);
    if (it == colours_.end()) return nullptr;
    Colours& c = it->second;
    if (!c.brush) c.brush = CreateSolidBrush(actual(c.back, COLOR_BTNFACE));
    SetTextColor(dc, actual(c.text, COLOR_BTNTEXT));
    SetBkColor(dc, actual(c.back, COLOR_BTNFACE));
    return c.brush;
}

LinkText::~LinkText() {
    if (control_ && original_) {
        SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(control_, kLinkProperty);
    }
    if (font_) DeleteObject(font_);
}

void LinkText::attach(HWND control) {
    control_ = control;
    LOGFONTW lf{};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(GetParent(control), WM_GETFONT, 0, 0));
    if (dialogFont && GetObjectW(dialogFont, sizeof lf, &lf)) {
        lf.lfUnderline = TRUE;
        font_ = CreateFontIndirectW(&lf);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    SetPropW(control, kLinkProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

void LinkText::setCaption(const std::wstring& caption) {
    SetWindowTextW(control_, caption.c_str());
    measured_ = false;
}

HBRUSH LinkText::colour(HDC dc) {
    SetTextColor(dc, kLinkColour);
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

bool LinkText::overText(POINT p) {
    if (!measured_) {
        wchar_t text[512] = {};
        const int n = GetWindowTextW(control_, text, 512);
        HDC dc = GetDC(control_);
        HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, text, n, &extent_);
        SelectObject(dc, old);
        ReleaseDC(control_, dc);
        measured_ = true;
    }
    return p.x >= 0 && p.y >= 0 && p.x < extent_.cx && p.y < extent_.cy;
}

LRESULT CALLBACK LinkText::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<LinkText*>(GetPropW(window, kLinkProperty));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    const auto cursorAt = [&] {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        return p;
    };
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(
                                               self->overText(cursorAt()) ? IDC_HAND : IDC_ARROW)));
            return TRUE;
        case WM_MOUSEMOVE:
            if (!self->tracking_) {
                TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, window, 0};
                self->tracking_ = TrackMouseEvent(&t) != FALSE;
            }
            break;
        case WM_MOUSELEAVE:
            self->tracking_ = false;
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
            break;
        case WM_LBUTTONUP: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (self->overText(p) && !self->target_.empty())
                ShellExecuteW(nullptr, L"open", self->target_.c_str(), nullptr, nullptr,
                              SW_SHOWNORMAL);
            break;
        }
        default:
            break;
    }
    return CallWindowProcW(self->original_, window, message, wParam, lParam);
}

}  // namespace cv50::updater::win32
