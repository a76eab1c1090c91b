#include "apps/updater/win32/pictures.h"

namespace cv50::updater::win32 {
namespace {

constexpr COLORREF kDeep = 0x6B3A12;   // the banner's dark blue
constexpr COLORREF kLight = 0xD9A360;  // and its light one

COLORREF mix(COLORREF a, COLORREF b, int step, int steps) {
    const auto part = [&](int shift) {
        const int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
        return (x + (y - x) * step / steps) << shift;
    };
    return static_cast<COLORREF>(part(0) | part(8) | part(16));
}

// A DIB section `width` x `height` drawn by `draw` in a memory DC.
template <typename Draw>
HBITMAP drawn(int width, int height, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    draw(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

void gradient(HDC dc, int width, int height) {
    for (int y = 0; y < height; ++y) {
        HBRUSH brush = CreateSolidBrush(mix(kDeep, kLight, y, height > 1 ? height - 1 : 1));
        RECT row{0, y, width, y + 1};
        FillRect(dc, &row, brush);
        DeleteObject(brush);
    }
}

}  // namespace

Bitmap loadBitmapFile(const wchar_t* name) {
    return Bitmap(static_cast<HBITMAP>(
        LoadImageW(nullptr, name, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
}

Bitmap builtInPicture(int width, int height, const std::wstring& title) {
    return Bitmap(drawn(width, height, [&](HDC dc) {
        gradient(dc, width, height);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0xFFFFFF);
        // The largest font, up to half the height, that shows the whole title.
        const int margin = 8;
        for (int size = height / 2 > 8 ? height / 2 : 8; size >= 8; --size) {
            HFONT font = CreateFontW(-size, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                     DEFAULT_PITCH, L"MS Shell Dlg");
            HGDIOBJ old = SelectObject(dc, font);
            SIZE extent{};
            GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &extent);
            const bool fits = extent.cx <= width - 2 * margin || size == 8;
            if (fits) {
                RECT r{margin, 0, width - margin, height};
                DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &r,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
            }
            SelectObject(dc, old);
            DeleteObject(font);
            if (fits) break;
        }
    }));
}

Icon programIcon(int size) {
    Bitmap colour(drawn(size, size, [&](HDC dc) {
        gradient(dc, size, size);
        // A player: a light screen over a dark body.
        HBRUSH screen = CreateSolidBrush(0xF0F0F0);
        RECT r{size / 5, size / 6, size - size / 5, size / 2};
        FillRect(dc, &r, screen);
        DeleteObject(screen);
    }));
    Bitmap mask(CreateBitmap(size, size, 1, 1, nullptr));
    if (!colour || !mask) return Icon();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, mask.get());
    PatBlt(dc, 0, 0, size, size, BLACKNESS);  // all of it opaque
    SelectObject(dc, old);
    DeleteDC(dc);
    ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
    return Icon(CreateIconIndirect(&info));
}

void paintBitmap(HDC dc, const Bitmap& bitmap, int x, int y, int width, int height) {
    if (!bitmap) return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap.get());
    BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

}  // namespace cv50::updater::win32
