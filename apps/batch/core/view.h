// What the production tool's core asks of its window. Every call may come from any thread,
// also from one that holds the port-table lock, and must not wait for the window thread:
// a window queues the change for itself.
#pragma once

#include <cstdint>
#include <string>

namespace cv50::batch {

class View {
public:
    virtual ~View() = default;

    virtual void setText(int control, const std::string& text) = 0;
    virtual void setEnabled(int control, bool enabled) = 0;
    virtual void setChecked(int control, bool checked) = 0;
    // The language file's texts for the dialog's caption, buttons and statics.
    virtual void applyLanguage(const std::string& file) = 0;

    // A port cell (IDC_NUMBER_CELL + i, IDC_LAYER_CELL + i); colours are COLORREF values.
    virtual void setCellColours(int control, std::uint32_t background, std::uint32_t text) = 0;
    virtual void setCellBackground(int control, std::uint32_t background) = 0;
    // Toggles between the two colours every `periodMs`, until stopped; then the background
    // shows again.
    virtual void startCellBlink(int control, std::uint32_t first, std::uint32_t second,
                                int periodMs) = 0;
    virtual void stopCellBlink(int control) = 0;

    // The colour log list: a line in a text colour and a background colour (indices into
    // its palette of 16), and the clearing of all lines.
    virtual void addListLine(int textColour, int backColour, const std::string& text) = 0;
    virtual void clearList() = 0;

    // WM_IMAGE_STAGE_DONE and WM_DEMO_STAGE_DONE: the window thread hands them back to
    // BatchTool::onStageDone, after the changes asked for before.
    virtual void postStageDone(int message, int slot, bool failed) = 0;
};

}  // namespace cv50::batch
