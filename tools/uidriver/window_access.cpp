#include "tools/uidriver/window_access.h"

#include "tools/uidriver/utf.h"

namespace cv50ui {
namespace {

constexpr DWORD kPollMs = 50;
constexpr int kMessageBoxTextId = 0xFFFF;

}  // namespace

Deadline::Deadline(DWORD ms) : end_(GetTickCount64() + ms) {}

bool Deadline::passed() const { return GetTickCount64() >= end_; }

DWORD Deadline::remaining() const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
}

void Deadline::pause() const { Sleep(kPollMs); }

LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD ms) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             ms < 1000 ? 1000 : ms, &result)) {
        if (!IsWindow(window)) throw Failure("the window is gone");
        throw Failure(describe(window) + " does not answer");
    }
    return static_cast<LRESULT>(result);
}

std::wstring windowText(HWND window, DWORD ms) {
    // WM_GETTEXT rather than GetWindowTextW: for another process's window the latter
    // returns the stored caption, not what an edit control holds.
    const auto length = ask(window, WM_GETTEXTLENGTH, 0, 0, ms);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got =
        ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), ms);
    text.resize(static_cast<std::size_t>(got) < text.size() ? static_cast<std::size_t>(got)
                                                            : text.size() - 1);
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool hasClass(HWND window, const wchar_t* name) {
    return CompareStringOrdinal(className(window).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

std::string describe(HWND window) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (title[0]) return "\"" + utf8FromWide(title) + "\"";
    return "a window of class " + utf8FromWide(className(window));
}

std::vector<HWND> visibleTopLevelWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            if (IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND findControl(HWND top, int id) {
    if (HWND direct = GetDlgItem(top, id)) return direct;
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        top,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool isMessageBox(HWND window) {
    if (!hasClass(window, L"#32770")) return false;
    HWND text = GetDlgItem(window, kMessageBoxTextId);
    if (!text || !hasClass(text, L"Static")) return false;
    for (int button :
         {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE})
        if (HWND b = GetDlgItem(window, button); b && hasClass(b, L"Button")) return true;
    return false;
}

std::wstring messageBoxText(HWND box, DWORD ms) {
    return windowText(GetDlgItem(box, kMessageBoxTextId), ms);
}

}  // namespace cv50ui
