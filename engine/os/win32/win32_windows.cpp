#define WIN32_LEAN_AND_MEAN
#include "engine/os/win32/win32_windows.h"

#include <windows.h>

#include <algorithm>

#include "base/unicode.h"

namespace cv50::os::win32 {
namespace {

// A window of another program that hangs must not hang the caller.
constexpr UINT kTextTimeoutMs = 1000;
constexpr LRESULT kTextChars = 1024;

HWND toHwnd(Window w) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w)); }

BOOL CALLBACK collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<Window>*>(list)->push_back(
        static_cast<Window>(reinterpret_cast<std::uintptr_t>(window)));
    return TRUE;
}

}  // namespace

std::optional<std::vector<Window>> topLevelWindows() {
    std::vector<Window> windows;
    if (!EnumWindows(collect, reinterpret_cast<LPARAM>(&windows))) return std::nullopt;
    return windows;
}

std::vector<Window> childWindows(Window parent) {
    std::vector<Window> windows;
    EnumChildWindows(toHwnd(parent), collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string windowText(Window window) {
    // GetWindowText reads only captions in other programs; their controls answer WM_GETTEXT.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(toHwnd(window), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                             kTextTimeoutMs, &length) ||
        length == 0)
        return {};
    std::u16string text(static_cast<std::size_t>(std::min<DWORD_PTR>(length, kTextChars)) + 1,
                        u'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(toHwnd(window), WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kTextTimeoutMs, &copied))
        return {};
    text.resize(std::min<std::size_t>(copied, text.size() - 1));
    return base::utf8FromUtf16(text);
}

void closeWindow(Window window) { PostMessageW(toHwnd(window), WM_CLOSE, 0, 0); }

void clickButton(Window window) { PostMessageW(toHwnd(window), BM_CLICK, 0, 0); }

std::optional<std::string> resourceString(Handle library, unsigned id) {
    // With no buffer, LoadStringW points into the library's own table.
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(library)), id,
                    reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::nullopt;
    return base::utf8FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length)));
}

}  // namespace cv50::os::win32
