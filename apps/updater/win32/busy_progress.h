// Windows only: BusyProgressCtrl, the updater's block bar. In busy mode one lit block runs to
// and fro, moved by an animation thread of the control's own; in progress mode the blocks fill
// up to a position. Set up and driven from the window thread.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "apps/updater/core/busy_blocks.h"

namespace cv50::updater::win32 {

class BusyProgressCtrl {
public:
    static constexpr unsigned kBusy = 1;
    static constexpr unsigned kProgress = 2;

    // The window class "BusyProgressCtrl", for the dialog templates that use it.
    static bool registerClass(HINSTANCE instance);
    // The control of a window of that class, or nullptr.
    static BusyProgressCtrl* of(HWND window);

    // Each repaints.
    void setBlockCount(int count);
    void setGap(int gap);
    void setMode(unsigned mode);
    void setInterval(unsigned ms);
    void setPosition(int position);
    void setRange(int range);
    // Busy mode only: a running animation is stopped first.
    void start();
    // Waits for the animation thread; nothing when none runs.
    void stop();
    // Back at the first block.
    void reset();

private:
    explicit BusyProgressCtrl(HWND window) : window_(window) {}
    ~BusyProgressCtrl() { stop(); }
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void repaint() { InvalidateRect(window_, nullptr, FALSE); }

    HWND window_;
    std::mutex mutex_;  // the blocks, between the animation and the paint
    BusyBlocks blocks_{10};
    int gap_ = 1;
    unsigned mode_ = kBusy;
    std::atomic<unsigned> intervalMs_{100};
    int position_ = 0, range_ = 100;
    std::atomic<bool> running_{false};
    std::thread animation_;
};

}  // namespace cv50::updater::win32
