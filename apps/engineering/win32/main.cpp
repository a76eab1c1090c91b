// CV50Upgrade: the engineering tool.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace cv50::engineering::win32 {
int runMainDialog(HINSTANCE instance);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return cv50::engineering::win32::runMainDialog(instance);
}
