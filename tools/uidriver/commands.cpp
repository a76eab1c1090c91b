#include "tools/uidriver/commands.h"

#include <cstdio>
#include <cwchar>
#include <initializer_list>
#include <optional>

#include "tools/uidriver/list_lines.h"
#include "tools/uidriver/screen_pixel.h"
#include "tools/uidriver/utf.h"

namespace cv50ui {
namespace {

using Args = std::vector<std::wstring>;

std::string quoted(const std::wstring& text) { return "\"" + utf8FromWide(text) + "\""; }

std::optional<long> number(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 0);
    if (*end != L'\0') return std::nullopt;
    return value;
}

std::optional<COLORREF> colour(const std::wstring& text) {
    if (text.size() != 7 || text[0] != L'#') return std::nullopt;
    wchar_t* end = nullptr;
    const unsigned long rgb = std::wcstoul(text.c_str() + 1, &end, 16);
    if (*end != L'\0') return std::nullopt;
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

struct ButtonName {
    const wchar_t* name;
    int id;
};
constexpr ButtonName kButtons[] = {
    {L"ok", IDOK},         {L"cancel", IDCANCEL},     {L"yes", IDYES},
    {L"no", IDNO},         {L"abort", IDABORT},       {L"retry", IDRETRY},
    {L"ignore", IDIGNORE}, {L"tryagain", IDTRYAGAIN}, {L"continue", IDCONTINUE}};

std::optional<int> buttonId(const std::wstring& name) {
    for (const auto& b : kButtons)
        if (name == b.name) return b.id;
    return std::nullopt;
}

bool oneOf(const std::wstring& value, std::initializer_list<const wchar_t*> words) {
    for (const wchar_t* w : words)
        if (value == w) return true;
    return false;
}

HWND currentWindow(Session& s) {
    if (!s.window) throw Failure("no window chosen yet: start with window TITLE");
    if (!IsWindow(s.window)) throw Failure("the window has gone");
    return s.window;
}

// "@" is the current window itself; a number is a control id (-1 meaning 0xFFFF).
HWND target(Session& s, const std::wstring& spec) {
    HWND top = currentWindow(s);
    if (spec == L"@") return top;
    const int id = static_cast<int>(*number(spec) & 0xFFFF);
    HWND control = findControl(top, id);
    if (!control) throw Failure("no control " + utf8FromWide(spec) + " in " + describe(top));
    return control;
}

// A list's text is its lines; other controls have one text.
std::wstring content(HWND control, DWORD ms) {
    if (hasClass(control, L"ListBox") || hasClass(control, L"ComboBox")) {
        std::wstring joined;
        for (const auto& line : controlLines(control, ms)) joined += line + L"\n";
        return joined;
    }
    return unixNewlines(windowText(control, ms));
}

std::wstring checkState(HWND control, DWORD ms) {
    if (!hasClass(control, L"Button")) throw Failure("the control is not a button");
    switch (ask(control, BM_GETCHECK, 0, 0, ms)) {
        case BST_CHECKED:
            return L"checked";
        case BST_INDETERMINATE:
            return L"indeterminate";
        default:
            return L"unchecked";
    }
}

bool inState(HWND control, const std::wstring& state, DWORD ms) {
    if (state == L"enabled") return IsWindowEnabled(control);
    if (state == L"disabled") return !IsWindowEnabled(control);
    if (state == L"visible") return IsWindowVisible(control);
    if (state == L"hidden") return !IsWindowVisible(control);
    return checkState(control, ms) == state;
}

// A user can press only what is on show and enabled, in a window that no modal box blocks.
void mustBeClickable(HWND control) {
    if (!IsWindowVisible(control)) throw Failure("the control is hidden");
    if (!IsWindowEnabled(control)) throw Failure("the control is disabled");
    HWND top = GetAncestor(control, GA_ROOT);
    if (top && !IsWindowEnabled(top))
        throw Failure(describe(top) + " is disabled (is a modal window open?)");
}

void notifyClicked(HWND control) {
    const int id = GetDlgCtrlID(control);
    if (!PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(control)))
        throw Failure("the click cannot be posted");
}

POINT screenPoint(HWND control, const Args& a) {
    POINT p{static_cast<LONG>(*number(a[1])), static_cast<LONG>(*number(a[2]))};
    RECT client{};
    GetClientRect(control, &client);
    if (p.x < 0 || p.y < 0 || p.x >= client.right || p.y >= client.bottom)
        throw Failure("the point lies outside the control's " + std::to_string(client.right) + "x" +
                      std::to_string(client.bottom) + " client area");
    ClientToScreen(control, &p);
    return p;
}

// The colour there, or a failure when another window covers the point.
std::string colourAt(HWND control, POINT p) {
    HWND over = WindowFromPoint(p);
    HWND overTop = over ? GetAncestor(over, GA_ROOT) : nullptr;
    if (overTop != GetAncestor(control, GA_ROOT))
        throw Failure("the point is covered by " + (overTop ? describe(overTop) : "nothing"));
    return screenColour(p);
}

// The first shown top-level window, other than the current one, that matches; null at the
// deadline.
template <typename Match>
HWND waitForTopLevel(const Session& s, Match matches) {
    const Deadline deadline(s.timeoutMs);
    for (;;) {
        for (HWND w : visibleTopLevelWindows())
            if (w != s.window && matches(w)) return w;
        if (deadline.passed()) return nullptr;
        deadline.pause();
    }
}

std::wstring title(HWND w) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

std::string seconds(DWORD ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

void chooseWindow(Session& s, const std::wstring& name, bool exact) {
    s.window = nullptr;
    s.window = waitForTopLevel(s, [&](HWND w) {
        return exact ? title(w) == name : title(w).find(name) != std::wstring::npos;
    });
    if (!s.window) {
        std::string seen;
        for (HWND w : visibleTopLevelWindows())
            if (!title(w).empty()) seen += (seen.empty() ? "" : ", ") + quoted(title(w));
        throw Failure("no window " + std::string(exact ? "titled " : "with ") + quoted(name) +
                      " after " + seconds(s.timeoutMs) +
                      (seen.empty() ? "; no titled window is shown" : "; shown: " + seen));
    }
}

void cmdTimeout(Session& s, const Args& a) {
    s.timeoutMs = static_cast<DWORD>(std::wcstod(a[0].c_str(), nullptr) * 1000);
}

void cmdWindow(Session& s, const Args& a) { chooseWindow(s, a[0], true); }
void cmdWindowContaining(Session& s, const Args& a) { chooseWindow(s, a[0], false); }

void cmdClick(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    if (control == s.window) throw Failure("click takes a control id");
    mustBeClickable(control);
    notifyClicked(control);
}

// What a click delivers even when the control is disabled or hidden: the command a window
// must refuse by itself, as one that arrives as its button is being disabled.
void cmdPostCommand(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    if (control == s.window) throw Failure("post-command takes a control id");
    notifyClicked(control);
}

void cmdText(Session& s, const Args& a) {
    s.print(unixNewlines(windowText(target(s, a[0]), s.timeoutMs)));
}

void cmdSetText(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    const std::wstring text = windowsNewlines(a[1]);
    if (!ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), s.timeoutMs))
        throw Failure("the control refused the text");
}

void cmdChecked(Session& s, const Args& a) { s.print(checkState(target(s, a[0]), s.timeoutMs)); }

void cmdSetCheck(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    checkState(control, s.timeoutMs);
    mustBeClickable(control);
    ask(control, BM_SETCHECK, a[1] == L"checked" ? BST_CHECKED : BST_UNCHECKED, 0, s.timeoutMs);
    notifyClicked(control);
}

void cmdEnabled(Session& s, const Args& a) {
    s.print(IsWindowEnabled(target(s, a[0])) ? L"enabled" : L"disabled");
}

void cmdVisible(Session& s, const Args& a) {
    s.print(IsWindowVisible(target(s, a[0])) ? L"visible" : L"hidden");
}

void cmdLines(Session& s, const Args& a) {
    for (const auto& line : controlLines(target(s, a[0]), s.timeoutMs)) s.print(line);
}

void cmdDataLines(Session& s, const Args& a) {
    for (const auto& line : itemDataLines(target(s, a[0]), s.timeoutMs)) s.print(line);
}

void cmdWaitText(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    const Deadline deadline(s.timeoutMs);
    for (;;) {
        const std::wstring now = content(control, s.timeoutMs);
        if (now.find(a[1]) != std::wstring::npos) return;
        if (deadline.passed())
            throw Failure("after " + seconds(s.timeoutMs) + " the text is " + quoted(now));
        deadline.pause();
    }
}

void cmdWaitState(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    const Deadline deadline(s.timeoutMs);
    while (!inState(control, a[1], s.timeoutMs)) {
        if (deadline.passed())
            throw Failure("the control is still not " + utf8FromWide(a[1]) + " after " +
                          seconds(s.timeoutMs));
        deadline.pause();
    }
}

void cmdMsgbox(Session& s, const Args& a) {
    const DWORD ms = s.timeoutMs;
    const std::wstring& want = a[0];
    s.messageBox = waitForTopLevel(s, [&](HWND w) {
        return isMessageBox(w) && (title(w).find(want) != std::wstring::npos ||
                                   messageBoxText(w, ms).find(want) != std::wstring::npos);
    });
    if (!s.messageBox) {
        std::string seen;
        for (HWND w : visibleTopLevelWindows())
            if (isMessageBox(w))
                seen += "; shown: " + quoted(title(w)) + " saying " +
                        quoted(unixNewlines(messageBoxText(w, ms)));
        throw Failure("no message box with " + quoted(a[0]) + " after " + seconds(ms) + seen);
    }
    s.print(unixNewlines(messageBoxText(s.messageBox, ms)));
}

void cmdAnswer(Session& s, const Args& a) {
    HWND box = s.messageBox;
    if (!box) throw Failure("no message box found yet: use msgbox TEXT first");
    if (!IsWindow(box)) throw Failure("the message box has gone");
    const int id = *buttonId(a[0]);
    HWND button = GetDlgItem(box, id);
    if (!button || !IsWindowVisible(button))
        throw Failure("the message box has no " + utf8FromWide(a[0]) + " button");
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)))
        throw Failure("the answer cannot be posted");
    const Deadline deadline(s.timeoutMs);
    while (IsWindow(box) && IsWindowVisible(box)) {
        if (deadline.passed())
            throw Failure("the message box is still open " + seconds(s.timeoutMs) +
                          " after the answer");
        deadline.pause();
    }
    s.messageBox = nullptr;
}

// Under Wine without a window manager the window is active but its frame may still be
// drawn inactive; WM_NCACTIVATE makes the frame show what the window is.
void cmdActivate(Session& s, const Args&) {
    HWND top = currentWindow(s);
    const Deadline deadline(s.timeoutMs);
    while (!SetForegroundWindow(top) || GetForegroundWindow() != top) {
        if (deadline.passed()) throw Failure(describe(top) + " does not come to the front");
        deadline.pause();
    }
    ask(top, WM_NCACTIVATE, TRUE, 0, s.timeoutMs);
}

void cmdClose(Session& s, const Args&) {
    if (!PostMessageW(currentWindow(s), WM_CLOSE, 0, 0)) throw Failure("WM_CLOSE cannot be posted");
}

// The user picks an item of the window's system menu. Whether the menu has it is the
// window's to judge: Wine keeps a window's menus in its own process.
void cmdSysCommand(Session& s, const Args& a) {
    HWND window = currentWindow(s);
    const UINT item = static_cast<UINT>(*number(a[0]));
    if (!PostMessageW(window, WM_SYSCOMMAND, item, 0))
        throw Failure("WM_SYSCOMMAND cannot be posted");
}

void cmdWaitClosed(Session& s, const Args&) {
    if (!s.window) throw Failure("no window chosen yet: start with window TITLE");
    const Deadline deadline(s.timeoutMs);
    while (IsWindow(s.window) && IsWindowVisible(s.window)) {
        if (deadline.passed())
            throw Failure(describe(s.window) + " is still open after " + seconds(s.timeoutMs));
        deadline.pause();
    }
}

void cmdPixel(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    s.print(wideFromUtf8(colourAt(control, screenPoint(control, a))));
}

void cmdWaitPixel(Session& s, const Args& a) {
    HWND control = target(s, a[0]);
    const POINT p = screenPoint(control, a);
    const COLORREF want = *colour(a[3]);
    char wantText[8];
    std::snprintf(wantText, sizeof wantText, "#%02X%02X%02X", GetRValue(want), GetGValue(want),
                  GetBValue(want));
    const Deadline deadline(s.timeoutMs);
    for (;;) {
        const std::string now = colourAt(control, p);
        if (now == wantText) return;
        if (deadline.passed())
            throw Failure("after " + seconds(s.timeoutMs) + " the colour is " + now + ", not " +
                          wantText);
        deadline.pause();
    }
}

void cmdRect(Session& s, const Args& a) {
    RECT r{};
    if (!GetWindowRect(target(s, a[0]), &r)) throw Failure("the rectangle cannot be read");
    s.print(std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
            std::to_wstring(r.left) + L"+" + std::to_wstring(r.top));
}

}  // namespace

const std::vector<Command>& allCommands() {
    static const std::vector<Command> table = {
        {"timeout",
         {"SECONDS"},
         "how long the waits that follow may take (default 10)",
         cmdTimeout},
        {"window",
         {"TITLE"},
         "wait for a shown top-level window with exactly this title; the "
         "commands that follow work on it",
         cmdWindow},
        {"window-containing",
         {"TEXT"},
         "the same, for a title that contains TEXT",
         cmdWindowContaining},
        {"click",
         {"ID"},
         "press a shown, enabled button (WM_COMMAND BN_CLICKED to its dialog)",
         cmdClick},
        {"post-command",
         {"ID"},
         "post the control's BN_CLICKED to its dialog, even when it is disabled or hidden",
         cmdPostCommand},
        {"text", {"ID"}, "print the control's text", cmdText},
        {"set-text",
         {"ID", "TEXT"},
         "replace the control's text (an edit tells its dialog)",
         cmdSetText},
        {"checked", {"ID"}, "print checked, unchecked or indeterminate", cmdChecked},
        {"set-check",
         {"ID", "CHECK"},
         "set a check box to checked or unchecked and tell its dialog, as a click does",
         cmdSetCheck},
        {"enabled", {"ID"}, "print enabled or disabled", cmdEnabled},
        {"visible", {"ID"}, "print visible or hidden", cmdVisible},
        {"lines", {"ID"}, "print the lines of a list box, combo box or multi-line edit", cmdLines},
        {"data-lines",
         {"ID"},
         "print the lines of an owner-drawn list whose item data points at UTF-16 text",
         cmdDataLines},
        {"wait-text",
         {"ID", "TEXT"},
         "wait until the control's text (a list: a line) contains TEXT",
         cmdWaitText},
        {"wait-state",
         {"ID", "STATE"},
         "wait until the control is enabled, disabled, visible, hidden, checked or unchecked",
         cmdWaitState},
        {"msgbox",
         {"TEXT"},
         "wait for a message box whose text or caption contains TEXT; print its text",
         cmdMsgbox},
        {"answer",
         {"BUTTON"},
         "press ok, cancel, yes, no, abort, retry, ignore, tryagain or continue in that box, "
         "and wait until it closes",
         cmdAnswer},
        {"activate", {}, "bring the window to the front, with an active caption", cmdActivate},
        {"close", {}, "send WM_CLOSE to the window", cmdClose},
        {"sys-command",
         {"ITEM"},
         "choose the item ITEM (a number) of the window's system menu",
         cmdSysCommand},
        {"wait-closed", {}, "wait until the window has gone", cmdWaitClosed},
        {"pixel",
         {"ID", "X", "Y"},
         "print the colour on screen at X,Y of the control's client area, as #RRGGBB",
         cmdPixel},
        {"wait-pixel",
         {"ID", "X", "Y", "COLOUR"},
         "wait until that colour is #RRGGBB",
         cmdWaitPixel},
        {"rect", {"ID"}, "print the control's screen rectangle as WIDTHxHEIGHT+LEFT+TOP", cmdRect},
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    for (const auto& c : allCommands())
        if (name == c.name) return &c;
    return nullptr;
}

std::string checkArgument(const char* kind, const std::wstring& value) {
    const std::string k = kind;
    if (k == "ID") {
        if (value == L"@") return {};
        const auto id = number(value);
        if (!id || *id < -32768 || *id > 0xFFFF) return "a control id (or @) is wanted";
    } else if (k == "SECONDS") {
        wchar_t* end = nullptr;
        const double v = std::wcstod(value.c_str(), &end);
        if (value.empty() || *end != L'\0' || v < 0 || v > 3600) return "0 to 3600 seconds";
    } else if (k == "ITEM") {
        const auto item = number(value);
        if (!item || *item < 0 || *item > 0xFFFF) return "a menu item number is wanted";
    } else if (k == "X" || k == "Y") {
        if (!number(value)) return "a number is wanted";
    } else if (k == "COLOUR") {
        if (!colour(value)) return "a colour #RRGGBB is wanted";
    } else if (k == "BUTTON") {
        if (!buttonId(value))
            return "ok, cancel, yes, no, abort, retry, ignore, tryagain or continue";
    } else if (k == "STATE") {
        if (!oneOf(value,
                   {L"enabled", L"disabled", L"visible", L"hidden", L"checked", L"unchecked"}))
            return "enabled, disabled, visible, hidden, checked or unchecked";
    } else if (k == "CHECK") {
        if (!oneOf(value, {L"checked", L"unchecked"})) return "checked or unchecked";
    }
    return {};
}

}  // namespace cv50ui
