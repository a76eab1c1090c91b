#include "apps/common/win32/ui_queue.h"

#include <vector>

#include "base/unicode.h"

namespace cv50::apps::win32 {

void UiQueue::attach(HWND window) {
    std::lock_guard lock(mutex_);
    window_ = window;
    if (!changes_.empty() && !posted_)
        posted_ = PostMessageW(window_, kUiQueueMessage, 0, 0) != FALSE;
}

void UiQueue::post(Change change) {
    std::lock_guard lock(mutex_);
    changes_.push_back(std::move(change));
    // One message carries every change queued until the window thread takes them.
    if (window_ != nullptr && !posted_)
        posted_ = PostMessageW(window_, kUiQueueMessage, 0, 0) != FALSE;
}

void UiQueue::apply() {
    std::deque<Change> due;
    HWND window;
    {
        std::lock_guard lock(mutex_);
        due.swap(changes_);
        posted_ = false;
        window = window_;
    }
    for (Change& change : due) change(window);
}

std::wstring wide(const std::string& utf8) {
    const std::u16string text = base::utf16FromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string narrow(const std::wstring& utf16) {
    return base::utf8FromUtf16(std::u16string(utf16.begin(), utf16.end()));
}

std::string controlText(HWND dialog, int control) {
    HWND item = GetDlgItem(dialog, control);
    const int length = item ? GetWindowTextLengthW(item) : 0;
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    GetWindowTextW(item, buffer.data(), length + 1);
    return narrow(std::wstring(buffer.data()));
}

void postText(UiQueue& queue, int control, const std::string& utf8) {
    queue.post([control, text = wide(utf8)](HWND dialog) {
        SetDlgItemTextW(dialog, control, text.c_str());
    });
}

void postEnabled(UiQueue& queue, int control, bool enabled) {
    queue.post(
        [control, enabled](HWND dialog) { EnableWindow(GetDlgItem(dialog, control), enabled); });
}

void postChecked(UiQueue& queue, int control, bool checked) {
    queue.post([control, checked](HWND dialog) {
        CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
    });
}

}  // namespace cv50::apps::win32
