// CV50BatchUpgrade: the production tool.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace cv50::batch::win32 {
int runMainDialog(HINSTANCE instance);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return cv50::batch::win32::runMainDialog(instance);
}
