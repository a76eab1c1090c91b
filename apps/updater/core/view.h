// What the updater's core asks of its window. Every call may come from any thread and must
// not wait for the window thread: a window queues the change for its own thread.
#pragma once

#include <string>

namespace cv50::updater {

class View {
public:
    virtual ~View() = default;

    virtual void setText(int control, const std::u16string& text) = 0;
    virtual void setEnabled(int control, bool enabled) = 0;
    // The busy bar: animation started; stopped (its thread waited for); back at its first
    // block, repainted.
    virtual void startBusy() = 0;
    virtual void stopBusy() = 0;
    virtual void resetBusy() = 0;
    // A window timer; 0 ms fires as soon as the window thread is idle. The window hands each
    // tick back to Updater::onTimer.
    virtual void startTimer(int timer, unsigned periodMs) = 0;
    virtual void stopTimer(int timer) = 0;
    // WM_UPGRADE_RESULT, posted after the changes asked for before it: the window thread
    // hands it back to Updater::onResult.
    virtual void postResult(int mode, int code) = 0;
};

}  // namespace cv50::updater
