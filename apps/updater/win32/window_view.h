// Windows only: the updater's View over its main dialog. Every change is queued and applied
// on the window thread; nothing here blocks the thread that asks.
#pragma once

#include <map>
#include <mutex>

#include "apps/common/win32/ui_queue.h"
#include "apps/updater/core/view.h"

namespace cv50::updater::win32 {

class ColourStatics;

class WindowView : public View {
public:
    // `colours` draws the statics whose texts are coloured; it lives as long as the dialog.
    void attach(HWND dialog, ColourStatics& colours);
    // On the window thread, for apps::win32::kUiQueueMessage.
    void apply() { queue_.apply(); }

    void setText(int control, const std::u16string& text) override;
    void setEnabled(int control, bool enabled) override;
    void startBusy() override;
    void stopBusy() override;
    void resetBusy() override;
    void startTimer(int timer, unsigned periodMs) override;
    void stopTimer(int timer) override;
    void postResult(int mode, int code) override;

private:
    apps::win32::UiQueue queue_;
    ColourStatics* colours_ = nullptr;
    // What each control was last told, so the monitor's passes repaint nothing that stays.
    std::mutex shownMutex_;
    std::map<int, std::u16string> shownTexts_;
    std::map<int, bool> shownEnabled_;
};

}  // namespace cv50::updater::win32
