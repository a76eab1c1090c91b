#include "apps/common/win32/file_choosers.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "apps/common/win32/ui_queue.h"

namespace cv50::apps::win32 {

std::optional<std::string> chooseFile(HWND owner, const std::string& filter) {
    // The dialog wants its pairs separated by NULs and ended by two.
    std::wstring pairs = wide(filter);
    std::replace(pairs.begin(), pairs.end(), L'|', L'\0');
    pairs.push_back(L'\0');
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = pairs.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    const bool chosen = GetOpenFileNameW(&request) != FALSE;
    SetCurrentDirectoryW(folder);
    if (!chosen) return std::nullopt;
    return narrow(file.data());
}

std::optional<std::string> chooseFolder(HWND owner, const std::string& title) {
    const std::wstring caption = wide(title);
    BROWSEINFOW request{};
    request.hwndOwner = owner;
    request.lpszTitle = caption.c_str();
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
    if (chosen == nullptr) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!ok || path[0] == L'\0') return std::nullopt;
    return narrow(path);
}

}  // namespace cv50::apps::win32
