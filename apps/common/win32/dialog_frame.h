// Windows only: what the programs' main dialogs share around their own controls: the about
// box that names the product, its system-menu item, and a close that waits for the workers.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <string>

namespace cv50::apps::win32 {

// A separator and the item `text` (command `command`) at the end of the system menu.
void addSystemMenuItem(HWND dialog, UINT command, const std::wstring& text);

// The modal about box `dialogId`; its static `productControl` shows `product`.
void showAboutBox(HINSTANCE instance, HWND owner, int dialogId, int productControl,
                  const std::string& product);

// Keeps the dialog answering until `stopped()`: a close asked for while workers end. When
// `giveUp()` turns true (a user who keeps asking) the process ends at once.
void answerUntilStopped(HWND dialog, const std::function<bool()>& stopped,
                        const std::function<bool()>& giveUp);

}  // namespace cv50::apps::win32
