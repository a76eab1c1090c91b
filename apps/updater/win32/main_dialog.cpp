// Windows only: the updater's main dialog. It presents the core: every button, timer and
// posted result goes to Updater, everything shown comes through WindowView.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <string>

#include "apps/common/win32/dialog_language.h"
#include "apps/common/win32/file_choosers.h"
#include "apps/common/win32/ui_queue.h"
#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/updater.h"
#include "apps/updater/win32/busy_progress.h"
#include "apps/updater/win32/dialogs.h"
#include "apps/updater/win32/pictures.h"
#include "apps/updater/win32/skinned_statics.h"
#include "apps/updater/win32/window_view.h"
#include "base/unicode.h"

namespace cv50::updater::win32 {
namespace {

constexpr COLORREF kLineColour = 0xFF0000;
constexpr COLORREF kNameColour = 0x007F00;
constexpr int kTitleX = 20, kTitleY = 10, kTitleWidth = 150, kTitleHeight = 54;

struct Dialog {
    HINSTANCE instance = nullptr;
    ColourStatics colours;
    LinkText link;
    WindowView view;
    std::unique_ptr<Updater> updater;
    Bitmap title;         // Title.BMP, painted by the dialog
    Bitmap builtInTitle;  // shown by control 1030 when there is no Title.BMP
    Icon bigIcon, smallIcon;
};

std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::u16string programFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::u16string folder(reinterpret_cast<const char16_t*>(path), n);
    const std::size_t slash = folder.find_last_of(u'\\');
    return slash == std::u16string::npos ? u"" : folder.substr(0, slash + 1);
}

void addAboutItem(HWND dialog, const std::u16string& text) {
    if (text.empty()) return;
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (menu == nullptr) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_UPDATER_ABOUT, wide(text).c_str());
}

void showTitle(HWND dialog, Dialog& d) {
    d.title = loadBitmapFile(L"Title.BMP");
    if (d.title) return;
    HWND picture = GetDlgItem(dialog, IDC_TITLE_PICTURE);
    RECT r;
    GetClientRect(picture, &r);
    d.builtInTitle = builtInPicture(r.right, r.bottom, wide(d.updater->appTitle()));
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(d.builtInTitle.get()));
    ShowWindow(picture, SW_SHOW);
}

// Steps of the dialog's start; false when the program ends here.
bool initialise(HWND dialog, Dialog& d) {
    d.view.attach(dialog, d.colours);
    d.updater = std::make_unique<Updater>(d.view, programFolder());
    if (!d.updater->loadSettings()) return false;
    addAboutItem(dialog, d.updater->aboutItem());
    d.bigIcon = programIcon(GetSystemMetrics(SM_CXICON));
    d.smallIcon = programIcon(GetSystemMetrics(SM_CXSMICON));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(d.bigIcon.get()));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(d.smallIcon.get()));
    showSplash(d.instance, dialog, wide(d.updater->splashText()), wide(d.updater->appTitle()));

    d.colours.setTextColour(GetDlgItem(dialog, IDC_STEP_LINE), kLineColour);
    d.colours.setTextColour(GetDlgItem(dialog, IDC_STATUS_LINE), kLineColour);
    d.colours.setTextColour(GetDlgItem(dialog, IDC_DEVICE_NAME), kNameColour);
    // Every other static the core writes to goes through the same painter, uncoloured.
    for (int control : {IDC_IMAGE_SOFTWARE, IDC_IMAGE_LOADER, IDC_PLAYER_SOFTWARE,
                        IDC_PLAYER_LOADER, IDC_ELAPSED})
        d.colours.setTextColour(GetDlgItem(dialog, control), kSystemColour);
    if (BusyProgressCtrl* bar = BusyProgressCtrl::of(GetDlgItem(dialog, IDC_BUSY))) {
        bar->setBlockCount(12);
        bar->setInterval(100);
    }
    showTitle(dialog, d);
    SetWindowTextW(dialog, wide(d.updater->windowTitle()).c_str());
    d.link.attach(GetDlgItem(dialog, IDC_HOMEPAGE));
    if (!d.updater->homepage().empty()) {
        d.link.setCaption(wide(d.updater->homepage()));
        d.link.setTarget(wide(d.updater->homepage()));
    }
    apps::win32::applyLanguage(dialog, IDD_UPDATER_MAIN, d.updater->languageFile());
    d.updater->initialise();
    return true;
}

void chooseImage(HWND dialog, Dialog& d) {
    const std::string filter = base::utf8FromUtf16(d.updater->imageFilter());
    if (const auto file = apps::win32::chooseFile(dialog, filter))
        d.updater->chooseImage(base::utf16FromUtf8(*file));
}

void onCommand(HWND dialog, Dialog& d, int control) {
    Updater& updater = *d.updater;
    switch (control) {
        case IDC_UPGRADE:
            return updater.onUpgrade();
        case IDC_REPAIR:
            return updater.onRepair();
        case IDC_CHOOSE_IMAGE:
            return chooseImage(dialog, d);
        case IDC_EXIT:
            if (updater.confirmExit()) EndDialog(dialog, 0);
            return;
        default:
            // Escape (IDCANCEL) never closes the window; the hidden buttons do nothing.
            return;
    }
}

INT_PTR paint(HWND dialog, Dialog& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    paintBitmap(dc, d.title, kTitleX, kTitleY, kTitleWidth, kTitleHeight);
    EndPaint(dialog, &ps);
    return TRUE;
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        d = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
        if (!initialise(dialog, *d)) EndDialog(dialog, 1);
        return TRUE;
    }
    if (!d || !d->updater) return FALSE;
    switch (message) {
        case WM_COMMAND:
            onCommand(dialog, *d, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            if (d->updater->confirmExit()) EndDialog(dialog, 0);
            return TRUE;
        case WM_TIMER:
            d->updater->onTimer(static_cast<int>(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_UPDATER_ABOUT) {
                showAbout(d->instance, dialog, *d->updater);
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            return d->title ? paint(dialog, *d) : FALSE;
        case WM_CTLCOLORSTATIC: {
            HWND control = reinterpret_cast<HWND>(lParam);
            HDC dc = reinterpret_cast<HDC>(wParam);
            if (control == d->link.window()) return reinterpret_cast<INT_PTR>(d->link.colour(dc));
            return reinterpret_cast<INT_PTR>(d->colours.colourOf(dc, control));
        }
        case WM_UPGRADE_RESULT:
            d->updater->onResult(static_cast<int>(wParam), static_cast<int>(lParam));
            return TRUE;
        default:
            if (message == apps::win32::kUiQueueMessage) {
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
    const INT_PTR code = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATER_MAIN), nullptr,
                                         dialogProc, reinterpret_cast<LPARAM>(&d));
    // The window has gone; the monitor and a running command end before the program does.
    if (d.updater) d.updater->shutdown();
    return static_cast<int>(code);
}

}  // namespace cv50::updater::win32
