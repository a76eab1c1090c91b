// CV50DeviceManager: the end-user updater. One runs at a time.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "apps/updater/win32/busy_progress.h"
#include "apps/updater/win32/dialogs.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HANDLE single = CreateMutexW(nullptr, FALSE, L"CORVANE_DM");
    if (single != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(single);
        return 0;
    }
    cv50::updater::win32::BusyProgressCtrl::registerClass(instance);
    const int code = cv50::updater::win32::runMainDialog(instance);
    if (single != nullptr) CloseHandle(single);
    return code;
}
