#include "apps/updater/win32/label_window.h"

namespace cv50::updater::win32 {
namespace {

constexpr wchar_t kProperty[] = L"CLASSPOINTER";

}  // namespace

std::unique_ptr<LabelWindow> LabelWindow::create(Params params) {
    if (!IsWindow(params.parent) || params.width <= 0 || params.height <= 0 || params.face.empty())
        return nullptr;
    std::unique_ptr<LabelWindow> label(new LabelWindow(std::move(params)));
    const Params& p = label->p_;
    label->font_ = CreateFontW(p.fontHeight, 0, 0, 0, p.bold ? FW_BOLD : FW_NORMAL, p.italic, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH, p.face.c_str());
    if (!label->font_) return nullptr;
    if (p.opaque) label->brush_ = CreateSolidBrush(p.background);
    // A transparent label is painted after the picture beneath it.
    const DWORD exStyle = p.opaque ? 0 : WS_EX_TRANSPARENT;
    label->window_ = CreateWindowExW(
        exStyle, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, p.x, p.y, p.width, p.height,
        p.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(p.parent, GWLP_HINSTANCE)), nullptr);
    if (!label->window_ || !SetPropW(label->window_, kProperty, label.get())) return nullptr;
    label->original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(label->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    InvalidateRect(label->window_, nullptr, TRUE);
    return label;
}

LabelWindow::~LabelWindow() {
    if (window_) {
        RemovePropW(window_, kProperty);
        if (original_)
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        DestroyWindow(window_);
    }
    if (font_) DeleteObject(font_);
    if (brush_) DeleteObject(brush_);
}

void LabelWindow::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    RECT r;
    GetClientRect(window_, &r);
    if (p_.opaque && brush_) {
        FillRect(dc, &r, brush_);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, p_.background);
    } else {
        SetBkMode(dc, TRANSPARENT);
    }
    HGDIOBJ old = SelectObject(dc, font_);
    SetTextColor(dc, hover_ ? p_.hoverText : p_.text);
    DrawTextW(dc, p_.caption.c_str(), static_cast<int>(p_.caption.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    EndPaint(window_, &ps);
}

void LabelWindow::trackHover(bool mayCapture) {
    POINT p;
    GetCursorPos(&p);
    RECT r;
    GetWindowRect(window_, &r);
    const bool inside = PtInRect(&r, p) != FALSE;
    if (inside && mayCapture && GetCapture() != window_) SetCapture(window_);
    if (!inside && GetCapture() == window_) ReleaseCapture();
    if (inside != hover_) {
        hover_ = inside;
        InvalidateRect(window_, nullptr, TRUE);
    }
}

LRESULT CALLBACK LabelWindow::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<LabelWindow*>(GetPropW(window, kProperty));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            self->paint();
            return 0;
        case WM_ERASEBKGND:
            // A transparent label leaves its parent's picture showing.
            return self->p_.opaque ? DefWindowProcW(window, message, wParam, lParam) : 1;
        case WM_SETCURSOR:
            if (self->p_.useCursor && self->p_.cursor) {
                SetCursor(self->p_.cursor);
                return TRUE;
            }
            break;
        case WM_MOUSEMOVE:
            self->trackHover(true);
            break;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: only the hover state follows.
            self->trackHover(false);
            break;
        case WM_LBUTTONDOWN:
            if (self->p_.onClick) self->p_.onClick();
            return 0;
        default:
            break;
    }
    return CallWindowProcW(self->original_, window, message, wParam, lParam);
}

}  // namespace cv50::updater::win32
