#include "apps/updater/win32/busy_progress.h"

#include <vector>

#include "engine/os/os.h"

namespace cv50::updater::win32 {
namespace {

constexpr wchar_t kClassName[] = L"BusyProgressCtrl";
constexpr COLORREF kOutline = 0x875A32;
constexpr COLORREF kNormalFill = 0xDCBEA0;
constexpr COLORREF kActiveFill = 0xFFDCBE;

void fill(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void block(HDC dc, RECT r, COLORREF inside) {
    fill(dc, r, kOutline);
    InflateRect(&r, -1, -1);
    if (r.right > r.left && r.bottom > r.top) fill(dc, r, inside);
}

}  // namespace

bool BusyProgressCtrl::registerClass(HINSTANCE instance) {
    WNDCLASSW c{};
    c.lpfnWndProc = windowProc;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    c.lpszClassName = kClassName;
    return RegisterClassW(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BusyProgressCtrl* BusyProgressCtrl::of(HWND window) {
    wchar_t name[32] = {};
    if (window == nullptr || !GetClassNameW(window, name, 32) || lstrcmpiW(name, kClassName) != 0)
        return nullptr;
    return reinterpret_cast<BusyProgressCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK BusyProgressCtrl::windowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    auto* self = reinterpret_cast<BusyProgressCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(new BusyProgressCtrl(window)));
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete self;
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            if (self) {
                self->paint();
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void BusyProgressCtrl::paint() {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(window_, &ps);
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right, height = client.bottom;
    // Drawn into memory and copied in one piece, so the bar never flickers.
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    fill(dc, client, GetSysColor(COLOR_BTNFACE));
    std::vector<BlockPaint> blocks;
    {
        std::lock_guard lock(mutex_);
        blocks = (mode_ & kProgress) ? progressLayout(width, blocks_.count(), gap_,
                                                      blocks_.active(), position_, range_)
                                     : busyLayout(width, blocks_.count(), gap_, blocks_.active());
    }
    for (const BlockPaint& b : blocks) {
        const RECT r{b.left, 0, b.right, height};
        const bool lit = b.state == BlockState::Active || b.state == BlockState::Filled;
        block(dc, r, lit ? kActiveFill : kNormalFill);
        if (b.state == BlockState::PartlyFilled)
            fill(dc, RECT{b.left + 1, 1, b.fillRight, height - 1}, kActiveFill);
    }
    BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window_, &ps);
}

void BusyProgressCtrl::setBlockCount(int count) {
    {
        std::lock_guard lock(mutex_);
        blocks_.setCount(count);
    }
    repaint();
}

void BusyProgressCtrl::setGap(int gap) {
    {
        std::lock_guard lock(mutex_);
        gap_ = gap < 0 ? 0 : gap;
    }
    repaint();
}

void BusyProgressCtrl::setMode(unsigned mode) {
    {
        std::lock_guard lock(mutex_);
        mode_ = mode;
    }
    repaint();
}

void BusyProgressCtrl::setInterval(unsigned ms) {
    intervalMs_ = ms == 0 ? 1 : ms;
    repaint();
}

void BusyProgressCtrl::setPosition(int position) {
    {
        std::lock_guard lock(mutex_);
        position_ = position;
    }
    repaint();
}

void BusyProgressCtrl::setRange(int range) {
    {
        std::lock_guard lock(mutex_);
        range_ = range;
    }
    repaint();
}

void BusyProgressCtrl::start() {
    {
        std::lock_guard lock(mutex_);
        if (!(mode_ & kBusy)) return;
    }
    stop();
    running_ = true;
    animation_ = std::thread([this] {
        while (running_) {
            {
                std::lock_guard lock(mutex_);
                blocks_.advance();
            }
            repaint();
            os::current().sleepMs(intervalMs_);
        }
    });
}

void BusyProgressCtrl::stop() {
    running_ = false;
    // At most one interval: the thread only repaints and sleeps.
    if (animation_.joinable()) animation_.join();
}

void BusyProgressCtrl::reset() {
    {
        std::lock_guard lock(mutex_);
        blocks_.reset();
    }
    repaint();
}

}  // namespace cv50::updater::win32
