#include "apps/batch/win32/color_log_list.h"

#include "apps/common/win32/ui_queue.h"
#include "base/unicode.h"

namespace cv50::batch::win32 {
namespace {

constexpr std::size_t kMaxLineBytes = 1023;
constexpr int kLinesMadeRoomFor = 20;
// Far below what a list box holds: the oldest lines go before memory runs short.
constexpr LRESULT kMostLines = 30000;
constexpr int kItemHeight = 16;

std::string blanksForLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lineEnd = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        out += lineEnd ? ' ' : text[i];
        if (lineEnd) ++i;
    }
    return out;
}

}  // namespace

const std::array<COLORREF, 16> kLogPalette = {
    0x000000, 0xFFFFFF, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
    0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};

void ColorLogList::attach(HWND list) {
    list_ = list;
    // Its first WM_MEASUREITEM came while the dialog was being made, before anyone answered.
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, kItemHeight);
}

void ColorLogList::add(int textColour, int backColour, const std::string& utf8) {
    if (list_ == nullptr) return;
    if (textColour < 0 || textColour >= 16) textColour = 0;
    if (backColour < 0 || backColour >= 16) backColour = 1;
    const std::wstring text =
        apps::win32::wide(std::string(base::cutUtf8(blanksForLineEnds(utf8), kMaxLineBytes)));
    const auto makeRoom = [&] {
        for (int i = 0; i < kLinesMadeRoomFor && SendMessageW(list_, LB_GETCOUNT, 0, 0) > 0; ++i)
            SendMessageW(list_, LB_DELETESTRING, 0, 0);
    };
    if (SendMessageW(list_, LB_GETCOUNT, 0, 0) >= kMostLines) makeRoom();
    LRESULT at = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (at == LB_ERRSPACE || at == LB_ERR) {
        makeRoom();
        at = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (at < 0) return;
    }
    SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(at),
                 static_cast<LPARAM>(textColour | backColour << 8));
    SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);

    HDC dc = GetDC(list_);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(list_, dc);
    if (size.cx + 8 > widest_) {
        widest_ = size.cx + 8;
        SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_), 0);
    }
}

void ColorLogList::clear() {
    if (list_ == nullptr) return;
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    widest_ = 0;
    SendMessageW(list_, LB_SETHORIZONTALEXTENT, 0, 0);
}

void ColorLogList::measure(MEASUREITEMSTRUCT& item) const { item.itemHeight = kItemHeight; }

void ColorLogList::draw(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const auto data = static_cast<unsigned>(item.itemData);
    unsigned textIndex = data & 0xFF, backIndex = (data >> 8) & 0xFF;
    if (textIndex >= 16) textIndex = 0;
    if (backIndex >= 16) backIndex = 1;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF back = selected ? GetSysColor(COLOR_HIGHLIGHT) : kLogPalette[backIndex];
    const COLORREF fore = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kLogPalette[textIndex];
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(item.hDC, &item.rcItem, brush);
    DeleteObject(brush);

    const LRESULT length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
    if (length <= 0) return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, fore);
    RECT r = item.rcItem;
    r.left += 2;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace cv50::batch::win32
