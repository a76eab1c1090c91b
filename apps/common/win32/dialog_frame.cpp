#include "apps/common/win32/dialog_frame.h"

#include "apps/common/win32/ui_queue.h"

namespace cv50::apps::win32 {
namespace {

struct AboutBox {
    int productControl;
    std::wstring product;
};

INT_PTR CALLBACK aboutProc(HWND about, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* box = reinterpret_cast<const AboutBox*>(lParam);
            SetDlgItemTextW(about, box->productControl, box->product.c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(about, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void addSystemMenuItem(HWND dialog, UINT command, const std::wstring& text) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (menu == nullptr) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, command, text.c_str());
}

void showAboutBox(HINSTANCE instance, HWND owner, int dialogId, int productControl,
                  const std::string& product) {
    AboutBox box{productControl, wide(product)};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(dialogId), owner, aboutProc,
                    reinterpret_cast<LPARAM>(&box));
}

void answerUntilStopped(HWND dialog, const std::function<bool()>& stopped,
                        const std::function<bool()>& giveUp) {
    while (!stopped()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (giveUp()) ExitProcess(0);
    }
}

}  // namespace cv50::apps::win32
