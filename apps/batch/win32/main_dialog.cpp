// Windows only: the production tool's main dialog. It presents the core: every button and
// control change goes to BatchTool, everything shown comes through WindowView, and the
// stage messages the workers post are handed back to it here, on the window thread.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <string>

#include "apps/batch/core/batch_tool.h"
#include "apps/batch/core/control_ids.h"
#include "apps/batch/core/texts.h"
#include "apps/batch/win32/window_view.h"
#include "apps/common/win32/dialog_frame.h"
#include "apps/common/win32/file_choosers.h"
#include "apps/common/win32/ui_queue.h"
#include "engine/os/os.h"

namespace cv50::batch::win32 {
namespace {

using apps::win32::controlText;

// The string resource of the system menu's about item.
constexpr UINT kAboutItemString = 101;

struct Dialog {
    WindowView view;
    std::unique_ptr<BatchTool> tool;
    HINSTANCE instance = nullptr;
};

void addAboutItem(HWND dialog, HINSTANCE instance) {
    wchar_t item[128] = {};
    if (LoadStringW(instance, kAboutItemString, item, 128) <= 0) return;
    apps::win32::addSystemMenuItem(dialog, IDM_BATCH_ABOUT, item);
}

// Close: only the first request proceeds; the window keeps answering while the monitor
// ends, and a user who keeps asking gets the process ended.
void closeDialog(HWND dialog, Dialog& d) {
    if (!d.tool->requestClose()) return;
    apps::win32::answerUntilStopped(
        dialog, [&] { return d.tool->stopped(); },
        [&] { return d.tool->closeRequests() >= kCloseRequestsBeforeExit; });
    d.tool.reset();
    EndDialog(dialog, 0);
}

void onCommand(HWND dialog, Dialog& d, int control, int code) {
    BatchTool& tool = *d.tool;
    switch (control) {
        case IDC_BOOT_CHOOSE:
            if (auto file = apps::win32::chooseFile(dialog, text::kBootFilter))
                tool.chooseBootFile(*file);
            return;
        case IDC_IMAGE_CHOOSE:
            if (auto file = apps::win32::chooseFile(dialog, text::kImageFilter))
                tool.chooseImage(*file);
            return;
        case IDC_DEMO_CHOOSE:
            if (auto folder = apps::win32::chooseFolder(dialog, text::kFolderTitle))
                tool.chooseDemoFolder(*folder);
            return;
        case IDC_UPGRADE:
            return tool.onUpgrade();
        case IDC_SWITCH:
            return tool.onSwitch();
        case IDC_RESET_COUNTERS:
            return tool.onResetCounters();
        case IDC_CLEAR:
            return tool.onClearList();
        case IDC_EXIT:
        case IDCANCEL:
            return closeDialog(dialog, d);
        case IDC_IMAGE:
        case IDC_DEMO:
        case IDC_FORCE_ERASE:
            if (code == BN_CLICKED)
                tool.onChecked(control, IsDlgButtonChecked(dialog, control) == BST_CHECKED);
            return;
        case IDC_BOOT_VERSION:
        case IDC_BOOT_DATE:
        case IDC_IMAGE_PATH:
        case IDC_DEMO_PATH:
            if (code == EN_CHANGE) tool.onText(control, controlText(dialog, control));
            return;
        default:
            return;
    }
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<Dialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
            addAboutItem(dialog, d->instance);
            d->view.attach(dialog);
            d->tool = std::make_unique<BatchTool>(d->view, os::current().programFolder());
            d->tool->start();
            return TRUE;
        }
        case WM_COMMAND:
            if (d && d->tool) onCommand(dialog, *d, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_BATCH_ABOUT) {
                apps::win32::showAboutBox(d->instance, dialog, IDD_BATCH_ABOUT, IDC_ABOUT_PRODUCT,
                                          std::string(text::kProduct) + text::kVersionSuffix);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            if (d && d->tool) closeDialog(dialog, *d);
            return TRUE;
        case WM_IMAGE_STAGE_DONE:
        case WM_DEMO_STAGE_DONE:
            if (d && d->tool)
                d->tool->onStageDone(static_cast<int>(message), static_cast<int>(wParam),
                                     lParam != 0);
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (d) {
                if (HBRUSH brush = d->view.cellColours(reinterpret_cast<HWND>(lParam),
                                                       reinterpret_cast<HDC>(wParam)))
                    return reinterpret_cast<INT_PTR>(brush);
            }
            return FALSE;
        case WM_MEASUREITEM:
            return d && d->view.measureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        case WM_DRAWITEM:
            return d && d->view.drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        default:
            if (message == apps::win32::kUiQueueMessage && d) {
                d->view.apply();
                return TRUE;
            }
            return FALSE;
    }
}

}  // namespace

int runMainDialog(HINSTANCE instance) {
    Dialog d;
    d.instance = instance;
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BATCH_MAIN), nullptr,
                                            dialogProc, reinterpret_cast<LPARAM>(&d)));
}

}  // namespace cv50::batch::win32
