// Windows only: changes to a window asked for from any thread, carried out on the window's
// own thread. A worker never sends to a window or waits for it; it queues the change and
// posts one message, and the window thread applies what is queued when that arrives.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace cv50::apps::win32 {

// The message the queue posts; a window hands it to UiQueue::apply.
inline constexpr UINT kUiQueueMessage = WM_APP + 0x31;

class UiQueue {
public:
    using Change = std::function<void(HWND window)>;

    // The window the changes are for; until it is set, changes wait in the queue.
    void attach(HWND window);
    // From any thread: `change` is run on the window thread, after those queued before it.
    void post(Change change);
    // On the window thread, for kUiQueueMessage: runs every queued change in order.
    void apply();

private:
    std::mutex mutex_;
    HWND window_ = nullptr;
    std::deque<Change> changes_;
    bool posted_ = false;
};

// The changes every program's view asks for, queued for `queue`'s window (a dialog).
void postText(UiQueue& queue, int control, const std::string& utf8);
void postEnabled(UiQueue& queue, int control, bool enabled);
void postChecked(UiQueue& queue, int control, bool checked);

// UTF-8 to the UTF-16 a window takes, and back.
std::wstring wide(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
// The text of a control of `dialog`, in UTF-8.
std::string controlText(HWND dialog, int control);

}  // namespace cv50::apps::win32
