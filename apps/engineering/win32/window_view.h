// Windows only: the engineering tool's View over the main dialog. Every change is queued
// and applied on the window thread; nothing here blocks the thread that asks.
#pragma once

#include "apps/common/win32/ui_queue.h"
#include "apps/engineering/core/view.h"

namespace cv50::engineering::win32 {

class WindowView : public View {
public:
    void attach(HWND dialog) { queue_.attach(dialog); }
    // On the window thread, for apps::win32::kUiQueueMessage.
    void apply() { queue_.apply(); }

    void setText(int control, const std::string& text) override;
    void setEnabled(int control, bool enabled) override;
    void setChecked(int control, bool checked) override;
    void setVisible(int control, bool visible) override;
    void appendLog(const std::string& line) override;
    void replaceLastLog(const std::string& line) override;
    void clearLog() override;
    void postPassEnd(bool failed) override;

private:
    apps::win32::UiQueue queue_;
    // The window thread's own: how long the last line of the log window is.
    int lastLineLength_ = 0;
};

}  // namespace cv50::engineering::win32
