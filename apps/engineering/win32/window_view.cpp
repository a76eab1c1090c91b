#include "apps/engineering/win32/window_view.h"

#include "apps/engineering/core/control_ids.h"

namespace cv50::engineering::win32 {
namespace {

using apps::win32::wide;

// The log window keeps the newest lines; far beyond this the oldest half goes.
constexpr int kLogLimit = 1 << 20;

void replaceRange(HWND edit, int from, int to, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

void WindowView::setText(int control, const std::string& text) {
    apps::win32::postText(queue_, control, text);
}

void WindowView::setEnabled(int control, bool enabled) {
    apps::win32::postEnabled(queue_, control, enabled);
}

void WindowView::setChecked(int control, bool checked) {
    apps::win32::postChecked(queue_, control, checked);
}

void WindowView::setVisible(int control, bool visible) {
    queue_.post([control, visible](HWND dialog) {
        ShowWindow(GetDlgItem(dialog, control), visible ? SW_SHOW : SW_HIDE);
    });
}

void WindowView::appendLog(const std::string& line) {
    queue_.post([this, text = wide(line) + L"\r\n"](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_LOG);
        int length = GetWindowTextLengthW(edit);
        if (length > kLogLimit) {
            replaceRange(edit, 0, length / 2, L"");
            length = GetWindowTextLengthW(edit);
        }
        replaceRange(edit, length, length, text);
        lastLineLength_ = static_cast<int>(text.size());
    });
}

void WindowView::replaceLastLog(const std::string& line) {
    queue_.post([this, text = wide(line) + L"\r\n"](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_LOG);
        const int length = GetWindowTextLengthW(edit);
        // The last characters, as many as the previous line had, give way to this one.
        replaceRange(edit, length - std::min(lastLineLength_, length), length, text);
        lastLineLength_ = static_cast<int>(text.size());
    });
}

void WindowView::clearLog() {
    queue_.post([this](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_LOG, L"");
        lastLineLength_ = 0;
    });
}

void WindowView::postPassEnd(bool failed) {
    // After the changes queued before it, so the window shows them when the pass ends.
    queue_.post([failed](HWND dialog) {
        PostMessageW(dialog, WM_ENGINEERING_PASS_END, failed ? 1 : 0, 0);
    });
}

}  // namespace cv50::engineering::win32
