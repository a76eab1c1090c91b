#include "tools/uidriver/list_lines.h"

#include <memory>

#include "tools/uidriver/utf.h"

namespace cv50ui {
namespace {

constexpr std::size_t kMaxItemChars = 32768;

bool listHasStrings(HWND list) {
    const auto style = static_cast<DWORD>(GetWindowLongW(list, GWL_STYLE));
    return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

// LB_GETTEXT or CB_GETLBTEXT, with their length and count messages.
std::vector<std::wstring> itemTexts(HWND control, UINT count, UINT length, UINT text, DWORD ms) {
    const auto n = ask(control, count, 0, 0, ms);
    std::vector<std::wstring> lines;
    for (LRESULT i = 0; i < n; ++i) {
        const auto len = ask(control, length, static_cast<WPARAM>(i), 0, ms);
        if (len < 0) throw Failure("item " + std::to_string(i) + " has gone while it was read");
        std::wstring line(static_cast<std::size_t>(len) + 1, L'\0');
        const auto got =
            ask(control, text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()), ms);
        if (got < 0) throw Failure("item " + std::to_string(i) + " has gone while it was read");
        line.resize(static_cast<std::size_t>(got) < line.size() ? static_cast<std::size_t>(got)
                                                                : line.size() - 1);
        lines.push_back(line);
    }
    return lines;
}

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

// Reads up to the NUL in pieces that never cross a page, so a string that ends just
// before an unmapped page is still read.
std::wstring remoteString(HANDLE process, ULONG_PTR address) {
    constexpr ULONG_PTR kPage = 4096;
    std::wstring text;
    while (text.size() < kMaxItemChars) {
        const ULONG_PTR pieceBytes = kPage - (address % kPage);
        std::wstring piece(pieceBytes / sizeof(wchar_t), L'\0');
        SIZE_T got = 0;
        if (piece.empty() ||
            !ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), piece.data(),
                               pieceBytes, &got) ||
            got < sizeof(wchar_t))
            throw Failure("the item data does not point at readable text");
        piece.resize(got / sizeof(wchar_t));
        const auto end = piece.find(L'\0');
        if (end != std::wstring::npos) return text + piece.substr(0, end);
        text += piece;
        address += got;
    }
    throw Failure("the item data's text has no end within " + std::to_string(kMaxItemChars) +
                  " characters");
}

std::vector<std::wstring> editLines(HWND control, DWORD ms) {
    const std::wstring text = unixNewlines(windowText(control, ms));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::vector<std::wstring> controlLines(HWND control, DWORD ms) {
    if (hasClass(control, L"ListBox")) {
        if (!listHasStrings(control))
            throw Failure(
                "the list is owner-drawn without LBS_HASSTRINGS, so it keeps no text: give it "
                "LBS_HASSTRINGS, or read item data with data-lines");
        return itemTexts(control, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, ms);
    }
    if (hasClass(control, L"ComboBox"))
        return itemTexts(control, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, ms);
    return editLines(control, ms);
}

std::vector<std::wstring> itemDataLines(HWND list, DWORD ms) {
    if (!hasClass(list, L"ListBox")) throw Failure("data-lines reads list boxes only");
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    std::unique_ptr<void, HandleCloser> process(
        OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process) throw Failure("the list's process cannot be read");
    const auto n = ask(list, LB_GETCOUNT, 0, 0, ms);
    std::vector<std::wstring> lines;
    for (LRESULT i = 0; i < n; ++i) {
        const auto data =
            static_cast<ULONG_PTR>(ask(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0, ms));
        if (data == 0 || data == static_cast<ULONG_PTR>(LB_ERR))
            throw Failure("item " + std::to_string(i) + " carries no text as its data");
        lines.push_back(remoteString(process.get(), data));
    }
    return lines;
}

}  // namespace cv50ui
