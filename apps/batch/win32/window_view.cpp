#include "apps/batch/win32/window_view.h"

#include "apps/batch/core/control_ids.h"
#include "apps/batch/core/station.h"
#include "apps/common/win32/dialog_language.h"

namespace cv50::batch::win32 {

void WindowView::attach(HWND dialog) {
    for (int i = 0; i < kSlots; ++i) {
        cells_[static_cast<std::size_t>(i)].attach(GetDlgItem(dialog, IDC_NUMBER_CELL + i));
        cells_[static_cast<std::size_t>(kSlots + i)].attach(GetDlgItem(dialog, IDC_LAYER_CELL + i));
    }
    list_.attach(GetDlgItem(dialog, IDC_LIST));
    queue_.attach(dialog);
}

PortCell* WindowView::cell(int control) {
    if (control >= IDC_NUMBER_CELL && control < IDC_NUMBER_CELL + kSlots)
        return &cells_[static_cast<std::size_t>(control - IDC_NUMBER_CELL)];
    if (control >= IDC_LAYER_CELL && control < IDC_LAYER_CELL + kSlots)
        return &cells_[static_cast<std::size_t>(kSlots + control - IDC_LAYER_CELL)];
    return nullptr;
}

HBRUSH WindowView::cellColours(HWND control, HDC dc) {
    PortCell* c = cell(GetDlgCtrlID(control));
    return c != nullptr && c->window() == control ? c->colours(dc) : nullptr;
}

bool WindowView::measureItem(MEASUREITEMSTRUCT& item) {
    if (item.CtlID != IDC_LIST) return false;
    list_.measure(item);
    return true;
}

bool WindowView::drawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != IDC_LIST) return false;
    list_.draw(item);
    return true;
}

void WindowView::setText(int control, const std::string& text) {
    apps::win32::postText(queue_, control, text);
}

void WindowView::setEnabled(int control, bool enabled) {
    apps::win32::postEnabled(queue_, control, enabled);
}

void WindowView::setChecked(int control, bool checked) {
    apps::win32::postChecked(queue_, control, checked);
}

void WindowView::applyLanguage(const std::string& file) {
    queue_.post([file](HWND dialog) { apps::win32::applyLanguage(dialog, IDD_BATCH_MAIN, file); });
}

void WindowView::setCellColours(int control, std::uint32_t background, std::uint32_t text) {
    queue_.post([this, control, background, text](HWND) {
        if (PortCell* c = cell(control)) {
            c->setBackground(background);
            c->setTextColour(text);
        }
    });
}

void WindowView::setCellBackground(int control, std::uint32_t background) {
    queue_.post([this, control, background](HWND) {
        if (PortCell* c = cell(control)) c->setBackground(background);
    });
}

void WindowView::startCellBlink(int control, std::uint32_t first, std::uint32_t second,
                                int periodMs) {
    queue_.post([this, control, first, second, periodMs](HWND) {
        if (PortCell* c = cell(control)) {
            c->setBlinkColours(first, second);
            c->startBlink(periodMs);
        }
    });
}

void WindowView::stopCellBlink(int control) {
    queue_.post([this, control](HWND) {
        if (PortCell* c = cell(control)) c->stopBlink();
    });
}

void WindowView::addListLine(int textColour, int backColour, const std::string& text) {
    queue_.post([this, textColour, backColour, text](HWND) { list_.add(textColour, backColour, text); });
}

void WindowView::clearList() {
    queue_.post([this](HWND) { list_.clear(); });
}

void WindowView::postStageDone(int message, int slot, bool failed) {
    // After the changes queued before it, so the window shows them when it counts the stage.
    queue_.post([message, slot, failed](HWND dialog) {
        PostMessageW(dialog, static_cast<UINT>(message), static_cast<WPARAM>(slot), failed ? 1 : 0);
    });
}

}  // namespace cv50::batch::win32
