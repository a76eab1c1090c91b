// Windows only: the engineering tool's main dialog. It presents the core: every button and
// control change goes to EngineeringTool, everything shown comes through WindowView.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <string>

#include "apps/common/win32/dialog_frame.h"
#include "apps/common/win32/file_choosers.h"
#include "apps/common/win32/ui_queue.h"
#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/engineering_tool.h"
#include "apps/engineering/core/texts.h"
#include "apps/engineering/win32/window_view.h"
#include "engine/os/os.h"

namespace cv50::engineering::win32 {
namespace {

using apps::win32::controlText;
using apps::win32::wide;

// A count of exit requests above this during the wait ends the process at once.
constexpr int kExitRequestsBeforeKill = 4;

struct Dialog {
    WindowView view;
    std::unique_ptr<EngineeringTool> tool;
    HINSTANCE instance = nullptr;
};

// Exit: only the first request proceeds; the window keeps answering while the controller
// ends, and a user who keeps asking gets the process ended.
void exitDialog(HWND dialog, Dialog& d) {
    if (!d.tool->requestExit()) return;
    apps::win32::answerUntilStopped(
        dialog, [&] { return d.tool->stopped(); },
        [&] { return d.tool->exitRequests() > kExitRequestsBeforeKill; });
    d.tool.reset();
    EndDialog(dialog, 0);
}

void onCommand(HWND dialog, Dialog& d, int control, int code) {
    EngineeringTool& tool = *d.tool;
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
        case IDC_SDRAM_CHOOSE:
            if (auto file = apps::win32::chooseFile(dialog, text::kSdramFilter))
                tool.chooseSdramFile(*file);
            return;
        case IDC_UPGRADE:
            return tool.onUpgrade();
        case IDC_SWITCH:
            return tool.onSwitch();
        case IDC_CAPACITY:
            return tool.onDiskCapacity();
        case IDC_ERASE_IDB:
            return tool.onEraseIdb();
        case IDC_BOOT_DOWNLOAD:
            return tool.onBootDownload();
        case IDC_CLEAR:
            return tool.onClearLog();
        case IDC_EXIT:
        case IDCANCEL:
            return exitDialog(dialog, d);
        case IDC_FORCE_ERASE:
        case IDC_DOWNLOAD_BOOT:
        case IDC_AUTO:
        case IDC_DEMO:
        case IDC_SERIAL:
            if (code == BN_CLICKED)
                tool.onChecked(control, IsDlgButtonChecked(dialog, control) == BST_CHECKED);
            return;
        case IDC_REPEAT:
        case IDC_PARTITION:
        case IDC_SERIAL_TEXT:
        case IDC_BOOT_VERSION:
        case IDC_BOOT_DATE:
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
            apps::win32::addSystemMenuItem(dialog, IDM_ENGINEERING_ABOUT, wide(text::kAboutItem));
            SetWindowTextW(dialog,
                           wide(std::string(text::kProduct) + text::kVersionSuffix).c_str());
            SendDlgItemMessageW(dialog, IDC_LOG, EM_SETLIMITTEXT, 0, 0);
            d->view.attach(dialog);
            d->tool = std::make_unique<EngineeringTool>(d->view, os::current().programFolder());
            d->tool->start();
            return TRUE;
        }
        case WM_COMMAND:
            if (d && d->tool) onCommand(dialog, *d, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ENGINEERING_ABOUT) {
                apps::win32::showAboutBox(d->instance, dialog, IDD_ENGINEERING_ABOUT,
                                          IDC_ABOUT_PRODUCT,
                                          std::string(text::kProduct) + text::kVersionSuffix);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            if (d && d->tool) exitDialog(dialog, *d);
            return TRUE;
        case WM_ENGINEERING_PASS_END:
            if (d && d->tool) d->tool->onPassEnd(wParam != 0);
            return TRUE;
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
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ENGINEERING_MAIN),
                                            nullptr, dialogProc, reinterpret_cast<LPARAM>(&d)));
}

}  // namespace cv50::engineering::win32
