// What the engineering tool's core asks of its window. Every call may come from any thread
// and must not wait for the window thread: a window posts the change to itself.
#pragma once

#include <string>

namespace cv50::engineering {

class View {
public:
    virtual ~View() = default;

    virtual void setText(int control, const std::string& text) = 0;
    virtual void setEnabled(int control, bool enabled) = 0;
    virtual void setChecked(int control, bool checked) = 0;
    virtual void setVisible(int control, bool visible) = 0;
    // The log window: a line added at the end; the last line replaced (the in-place
    // progress line); everything cleared.
    virtual void appendLog(const std::string& line) = 0;
    virtual void replaceLastLog(const std::string& line) = 0;
    virtual void clearLog() = 0;
    // The end of a pass, as the private message WM_ENGINEERING_PASS_END: the window thread
    // hands it back to EngineeringTool::onPassEnd.
    virtual void postPassEnd(bool failed) = 0;
};

}  // namespace cv50::engineering
