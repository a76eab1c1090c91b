#include "apps/common/win32/dialog_language.h"

#include <vector>

#include "apps/common/dialog_texts.h"
#include "base/unicode.h"

namespace cv50::apps::win32 {
namespace {

struct Children {
    std::vector<HWND> windows;
    std::vector<DialogChild> described;
};

BOOL CALLBACK addChild(HWND window, LPARAM param) {
    auto* children = reinterpret_cast<Children*>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    int id = GetDlgCtrlID(window);
    // A DIALOG template keeps the id -1 of unnamed controls in 16 bits.
    if (id == 0xFFFF) id = -1;
    children->windows.push_back(window);
    children->described.push_back({id, reinterpret_cast<const char16_t*>(className)});
    return TRUE;
}

Children childrenOf(HWND dialog) {
    Children children;
    EnumChildWindows(dialog, addChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

void setText(HWND window, const std::u16string& text) {
    SetWindowTextW(window, reinterpret_cast<const wchar_t*>(text.c_str()));
}
void setText(HWND window, const std::string& utf8) { setText(window, base::utf16FromUtf8(utf8)); }

template <class Text>
void apply(HWND dialog, int dialogId, const Text& file) {
    const Children children = childrenOf(dialog);
    const auto texts = dialogTexts(file, dialogId, children.described);
    if (texts.caption) setText(dialog, *texts.caption);
    for (const auto& child : texts.children) setText(children.windows[child.child], child.text);
}

}  // namespace

void applyLanguage(HWND dialog, int dialogId, const std::string& file) {
    apply(dialog, dialogId, file);
}

void applyLanguage(HWND dialog, int dialogId, const std::u16string& file) {
    apply(dialog, dialogId, file);
}

}  // namespace cv50::apps::win32
