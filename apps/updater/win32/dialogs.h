// Windows only: the updater's dialogs.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace cv50::updater {
class Updater;
}

namespace cv50::updater::win32 {

// The main dialog, modal; its exit code.
int runMainDialog(HINSTANCE instance);
// The splash, modal, closing itself after 2000 ms: "Startup.BMP" or the built-in picture
// with the version line on it.
void showSplash(HINSTANCE instance, HWND owner, const std::wstring& versionLine,
                const std::wstring& appTitle);
// The about box, modal.
void showAbout(HINSTANCE instance, HWND owner, const Updater& updater);

}  // namespace cv50::updater::win32
