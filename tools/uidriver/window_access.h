// Reading and finding the windows of another process, with every wait bounded.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace cv50ui {

// A command that cannot be done; the message is UTF-8 and names what was seen.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The driver waits on the real clock: it measures the program from outside, whatever
// simulated time the program itself runs on.
class Deadline {
public:
    explicit Deadline(DWORD ms);
    bool passed() const;
    DWORD remaining() const;
    void pause() const;  // one polling step

private:
    ULONGLONG end_;
};

// A message sent to a window of another thread; a window that does not answer within `ms`
// (at least a second: hung, or busy in a long call) is a failure rather than a hang of the
// driver.
LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD ms);

std::wstring windowText(HWND window, DWORD ms);
std::wstring className(HWND window);
bool hasClass(HWND window, const wchar_t* name);

// "title" or the class, for messages.
std::string describe(HWND window);

std::vector<HWND> visibleTopLevelWindows();

// The control with this id among the window's children, else among deeper descendants.
HWND findControl(HWND top, int id);

// A message box: a dialog with the text static (id 0xFFFF) and a standard button.
bool isMessageBox(HWND window);
std::wstring messageBoxText(HWND box, DWORD ms);

}  // namespace cv50ui
