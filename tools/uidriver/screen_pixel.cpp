#include "tools/uidriver/screen_pixel.h"

#include <cstdio>

namespace cv50ui {

std::string screenColour(POINT screen) {
    HDC dc = GetDC(nullptr);
    if (!dc) throw Failure("the screen cannot be read");
    const COLORREF colour = GetPixel(dc, screen.x, screen.y);
    ReleaseDC(nullptr, dc);
    if (colour == CLR_INVALID) throw Failure("the screen cannot be read at that point");
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return text;
}

}  // namespace cv50ui
