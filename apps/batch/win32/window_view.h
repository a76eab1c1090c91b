// Windows only: the production tool's View over its main dialog. Every change is queued and
// applied on the window thread, so no thread ever waits for the window, also not one that
// holds the port-table lock. The 32 cells and the colour log list live here.
#pragma once

#include <array>

#include "apps/batch/core/view.h"
#include "apps/batch/win32/color_log_list.h"
#include "apps/batch/win32/port_cell.h"
#include "apps/common/win32/ui_queue.h"

namespace cv50::batch::win32 {

class WindowView : public View {
public:
    // The dialog is created: its cells and its list are taken over.
    void attach(HWND dialog);
    // On the window thread, for apps::win32::kUiQueueMessage.
    void apply() { queue_.apply(); }

    // WM_CTLCOLORSTATIC: the brush of a cell, or nullptr for any other control.
    HBRUSH cellColours(HWND control, HDC dc);
    // WM_MEASUREITEM and WM_DRAWITEM of the list; false for other controls.
    bool measureItem(MEASUREITEMSTRUCT& item);
    bool drawItem(const DRAWITEMSTRUCT& item);

    void setText(int control, const std::string& text) override;
    void setEnabled(int control, bool enabled) override;
    void setChecked(int control, bool checked) override;
    void applyLanguage(const std::string& file) override;
    void setCellColours(int control, std::uint32_t background, std::uint32_t text) override;
    void setCellBackground(int control, std::uint32_t background) override;
    void startCellBlink(int control, std::uint32_t first, std::uint32_t second,
                        int periodMs) override;
    void stopCellBlink(int control) override;
    void addListLine(int textColour, int backColour, const std::string& text) override;
    void clearList() override;
    void postStageDone(int message, int slot, bool failed) override;

private:
    // The cell of a control id, or nullptr; window thread only.
    PortCell* cell(int control);

    apps::win32::UiQueue queue_;
    std::array<PortCell, 32> cells_;
    ColorLogList list_;
};

}  // namespace cv50::batch::win32
