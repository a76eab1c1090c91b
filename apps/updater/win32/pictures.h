// Windows only: the updater's pictures. The title, about and splash bitmaps are read from
// files beside the program when they are there; the built-in ones are drawn here, as is the
// program's icon.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace cv50::updater::win32 {

// Owns a GDI bitmap or icon.
template <typename Handle, BOOL (*Release)(Handle)>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle h) : h_(h) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    void reset() {
        if (h_) Release(h_);
        h_ = nullptr;
    }
    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    Handle h_ = nullptr;
};

inline BOOL releaseBitmap(HBITMAP b) { return DeleteObject(b); }
// Through a function of this program's calling convention: the system's own is another one in
// a 32-bit build.
inline BOOL releaseIcon(HICON i) { return DestroyIcon(i); }
using Bitmap = Owned<HBITMAP, releaseBitmap>;
using Icon = Owned<HICON, releaseIcon>;

// A bitmap file ("Title.BMP", relative to the working folder), or none.
Bitmap loadBitmapFile(const wchar_t* name);
// The built-in picture: a banner `width` x `height` with `title` on it.
Bitmap builtInPicture(int width, int height, const std::wstring& title);
// The program's icon, `size` pixels square.
Icon programIcon(int size);

// Paints `bitmap` at (x, y), `width` x `height` of it.
void paintBitmap(HDC dc, const Bitmap& bitmap, int x, int y, int width, int height);

}  // namespace cv50::updater::win32
