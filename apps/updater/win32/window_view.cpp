#include "apps/updater/win32/window_view.h"

#include "apps/updater/core/control_ids.h"
#include "apps/updater/win32/busy_progress.h"
#include "apps/updater/win32/skinned_statics.h"

namespace cv50::updater::win32 {
namespace {

std::wstring wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

BusyProgressCtrl* busyOf(HWND dialog) { return BusyProgressCtrl::of(GetDlgItem(dialog, IDC_BUSY)); }

}  // namespace

void WindowView::attach(HWND dialog, ColourStatics& colours) {
    colours_ = &colours;
    queue_.attach(dialog);
}

void WindowView::setText(int control, const std::u16string& text) {
    // Queued under the lock, so the queue's order is the order the texts were remembered in.
    std::lock_guard lock(shownMutex_);
    const auto it = shownTexts_.find(control);
    if (it != shownTexts_.end() && it->second == text) return;
    shownTexts_[control] = text;
    queue_.post([this, control, text = wide(text)](HWND dialog) {
        colours_->setText(GetDlgItem(dialog, control), text);
    });
}

void WindowView::setEnabled(int control, bool enabled) {
    std::lock_guard lock(shownMutex_);
    const auto it = shownEnabled_.find(control);
    if (it != shownEnabled_.end() && it->second == enabled) return;
    shownEnabled_[control] = enabled;
    queue_.post(
        [control, enabled](HWND dialog) { EnableWindow(GetDlgItem(dialog, control), enabled); });
}

void WindowView::startBusy() {
    queue_.post([](HWND dialog) {
        if (BusyProgressCtrl* bar = busyOf(dialog)) bar->start();
    });
}

void WindowView::stopBusy() {
    queue_.post([](HWND dialog) {
        if (BusyProgressCtrl* bar = busyOf(dialog)) bar->stop();
    });
}

void WindowView::resetBusy() {
    queue_.post([](HWND dialog) {
        if (BusyProgressCtrl* bar = busyOf(dialog)) bar->reset();
    });
}

void WindowView::startTimer(int timer, unsigned periodMs) {
    queue_.post([timer, periodMs](HWND dialog) {
        SetTimer(dialog, static_cast<UINT_PTR>(timer), periodMs, nullptr);
    });
}

void WindowView::stopTimer(int timer) {
    queue_.post([timer](HWND dialog) { KillTimer(dialog, static_cast<UINT_PTR>(timer)); });
}

void WindowView::postResult(int mode, int code) {
    // After the changes queued before it, so the window shows them when the result comes.
    queue_.post([mode, code](HWND dialog) {
        PostMessageW(dialog, WM_UPGRADE_RESULT, static_cast<WPARAM>(mode),
                     static_cast<LPARAM>(code));
    });
}

}  // namespace cv50::updater::win32
