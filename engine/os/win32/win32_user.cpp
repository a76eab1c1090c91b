#define WIN32_LEAN_AND_MEAN
#include "engine/os/win32/win32_user.h"

#include <windows.h>

#include "base/unicode.h"

namespace cv50::os::win32 {
namespace {

UINT styleOf(MessageButtons buttons, MessageIcon icon) {
    UINT style = 0;
    switch (buttons) {
        case MessageButtons::Ok:
            style = MB_OK;
            break;
        case MessageButtons::OkCancel:
            style = MB_OKCANCEL;
            break;
        case MessageButtons::YesNo:
            style = MB_YESNO;
            break;
    }
    switch (icon) {
        case MessageIcon::None:
            break;
        case MessageIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Warning:
            style |= MB_ICONWARNING;
            break;
        case MessageIcon::Error:
            style |= MB_ICONERROR;
            break;
    }
    return style;
}

}  // namespace

MessageAnswer showMessageBox(const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon) {
    const std::u16string wideText = base::utf16FromUtf8(text);
    const std::u16string wideCaption = base::utf16FromUtf8(caption);
    // The active window of this thread owns the box, so the dialog that asks cannot be
    // clicked meanwhile; a worker thread has none and shows it on its own.
    const int pressed =
        MessageBoxW(GetActiveWindow(), reinterpret_cast<LPCWSTR>(wideText.c_str()),
                    reinterpret_cast<LPCWSTR>(wideCaption.c_str()), styleOf(buttons, icon));
    switch (pressed) {
        case IDOK:
            return MessageAnswer::Ok;
        case IDYES:
            return MessageAnswer::Yes;
        case IDNO:
            return MessageAnswer::No;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

}  // namespace cv50::os::win32
