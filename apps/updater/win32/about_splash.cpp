// Windows only: the splash shown while the updater starts, and its about box.
#include <memory>

#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/updater.h"
#include "apps/updater/win32/dialogs.h"
#include "apps/updater/win32/label_window.h"
#include "apps/updater/win32/pictures.h"

namespace cv50::updater::win32 {
namespace {

constexpr int kPictureWidth = 353, kPictureHeight = 238;
constexpr UINT_PTR kSplashTimer = 1;
constexpr UINT kSplashMs = 2000;

std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// What a picture dialog owns while it is open.
struct PictureDialog {
    std::wstring text, title;  // the splash's version line and the built-in picture's title
    const Updater* updater = nullptr;
    Bitmap fromFile;
    Bitmap builtIn;
    std::unique_ptr<LabelWindow> label;
};

// The file's bitmap painted by the dialog, or the built-in one in `control`, over `width` x
// `height` from the top left.
void showPicture(HWND dialog, PictureDialog& p, const wchar_t* file, int control, int width,
                 int height) {
    p.fromFile = loadBitmapFile(file);
    if (p.fromFile) return;
    HWND picture = GetDlgItem(dialog, control);
    p.builtIn = builtInPicture(width, height, p.title);
    MoveWindow(picture, 0, 0, width, height, FALSE);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(p.builtIn.get()));
    ShowWindow(picture, SW_SHOW);
}

INT_PTR paintPicture(HWND dialog, const PictureDialog& p) {
    if (!p.fromFile) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    paintBitmap(dc, p.fromFile, 0, 0, kPictureWidth, kPictureHeight);
    EndPaint(dialog, &ps);
    return TRUE;
}

void sizeCentred(HWND window, int width, int height) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER);
}

INT_PTR CALLBACK splashProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    auto* p = reinterpret_cast<PictureDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            p = reinterpret_cast<PictureDialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(p));
            sizeCentred(dialog, kPictureWidth, kPictureHeight);
            showPicture(dialog, *p, L"Startup.BMP", IDC_SPLASH_PICTURE, kPictureWidth,
                        kPictureHeight);
            LabelWindow::Params label;
            label.parent = dialog;
            label.id = IDC_SPLASH_LABEL;
            label.x = 0;
            label.y = 190;
            label.width = kPictureWidth;
            label.height = 30;
            label.face = L"MS Sans Serif";
            label.fontHeight = 20;
            label.bold = true;
            label.caption = p->text;
            p->label = LabelWindow::create(std::move(label));
            SetTimer(dialog, kSplashTimer, kSplashMs, nullptr);
            return TRUE;
        }
        case WM_TIMER:
            KillTimer(dialog, kSplashTimer);
            EndDialog(dialog, 0);
            return TRUE;
        case WM_PAINT:
            return p ? paintPicture(dialog, *p) : FALSE;
        case WM_DESTROY:
            if (p) p->label.reset();
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* p = reinterpret_cast<PictureDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            p = reinterpret_cast<PictureDialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(p));
            const Updater& u = *p->updater;
            SetWindowTextW(dialog, wide(u.aboutTitle()).c_str());
            SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, wide(u.appTitle()).c_str());
            SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, wide(u.aboutVersion()).c_str());
            sizeCentred(dialog, 300, 260);
            RECT client;
            GetClientRect(dialog, &client);
            const int w = client.right, h = client.bottom;
            showPicture(dialog, *p, L"AboutTitle.BMP", IDC_ABOUT_PICTURE, w, h - 84);
            MoveWindow(GetDlgItem(dialog, IDC_ABOUT_TITLE), 12, h - 78, w - 24, 18, FALSE);
            MoveWindow(GetDlgItem(dialog, IDC_ABOUT_VERSION), 12, h - 56, w - 110, 18, FALSE);
            MoveWindow(GetDlgItem(dialog, IDOK), w - 88, h - 34, 76, 24, FALSE);
            return TRUE;
        }
        case WM_PAINT:
            return p ? paintPicture(dialog, *p) : FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void showSplash(HINSTANCE instance, HWND owner, const std::wstring& versionLine,
                const std::wstring& appTitle) {
    PictureDialog p;
    p.text = versionLine;
    p.title = appTitle;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATER_SPLASH), owner, splashProc,
                    reinterpret_cast<LPARAM>(&p));
}

void showAbout(HINSTANCE instance, HWND owner, const Updater& updater) {
    PictureDialog p;
    p.title = wide(updater.appTitle());
    p.updater = &updater;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATER_ABOUT), owner, aboutProc,
                    reinterpret_cast<LPARAM>(&p));
}

}  // namespace cv50::updater::win32
