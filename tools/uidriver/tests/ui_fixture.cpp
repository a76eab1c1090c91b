// The fixture the UI driver's test drives: a dialog whose controls change in ways the
// driver must see (a late text, list lines, a colour, a message box's answer).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <deque>
#include <initializer_list>
#include <string>

#include "tools/uidriver/tests/ui_fixture_ids.h"

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusDelayMs = 400;  // long enough that the driver must wait for it
constexpr COLORREF kCalm = RGB(0x20, 0xA0, 0x40);
constexpr COLORREF kAlarm = RGB(0xD0, 0x20, 0x20);

struct Fixture {
    HBRUSH calm = CreateSolidBrush(kCalm);
    HBRUSH alarm = CreateSolidBrush(kAlarm);
    bool alarmOn = false;
    int added = 0;
    std::deque<std::wstring> drawnTexts;  // the owner-drawn list's item data points here
} fixture;

std::wstring controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void addLine(HWND dialog) {
    const std::wstring name = controlText(dialog, IDC_NAME);
    const std::wstring line =
        std::to_wstring(++fixture.added) + L": " + (name.empty() ? L"(no name)" : name);
    SendDlgItemMessageW(dialog, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    fixture.drawnTexts.push_back(line + L" ✓");
    SendDlgItemMessageW(dialog, IDC_DRAWN_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(fixture.drawnTexts.back().c_str()));
    HWND log = GetDlgItem(dialog, IDC_LOG);
    const int end = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, end, end);
    const std::wstring logLine = L"日志 " + line + L"\r\n";
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(logLine.c_str()));
    SetDlgItemTextW(dialog, IDC_STATUS, L"正在升级…");
    SetTimer(dialog, kStatusTimer, kStatusDelayMs, nullptr);
}

void ask(HWND dialog) {
    const int answer = MessageBoxW(dialog, L"继续升级吗？\nContinue the upgrade?",
                                   L"Fixture question", MB_OKCANCEL | MB_ICONQUESTION);
    SetDlgItemTextW(dialog, IDC_ANSWER, answer == IDOK ? L"OK" : L"Cancel");
}

void drawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const bool selected = item.itemState & ODS_SELECTED;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = item.rcItem;
    text.left += 2;
    DrawTextW(item.hDC, reinterpret_cast<const wchar_t*>(item.itemData), -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            for (const wchar_t* language : {L"中文", L"English"})
                SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(language));
            SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_SETCURSEL, 0, 0);
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case IDC_ADD:
                    addLine(dialog);
                    return TRUE;
                case IDC_ASK:
                    ask(dialog);
                    return TRUE;
                case IDC_ALARM:
                    fixture.alarmOn = IsDlgButtonChecked(dialog, IDC_ALARM) == BST_CHECKED;
                    InvalidateRect(GetDlgItem(dialog, IDC_PANEL), nullptr, TRUE);
                    return TRUE;
                case IDC_DISABLED:
                    SetDlgItemTextW(dialog, IDC_STATUS, L"pressed while disabled");
                    return TRUE;
            }
            return FALSE;
        case WM_TIMER:
            KillTimer(dialog, kStatusTimer);
            SetDlgItemTextW(dialog, IDC_STATUS, L"升级成功");
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_PANEL) return FALSE;
            return reinterpret_cast<INT_PTR>(fixture.alarmOn ? fixture.alarm : fixture.calm);
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 16;
            return TRUE;
        case WM_DRAWITEM:
            drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FIXTURE), nullptr, dialogProc, 0));
}
