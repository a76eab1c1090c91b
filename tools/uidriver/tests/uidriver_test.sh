#!/usr/bin/env bash
# cv50ui against the fixture dialog (ui_fixture.exe; ids from ui_fixture_ids.h): every
# command, what it must refuse, and a screenshot of the final window.
source "${CV50_GUI_LIB:?run this through ctest: cv50_add_gui_test sets CV50_GUI_LIB}"

W="CV50 界面测试"
w() { ui window "$W" "$@"; }  # a row of commands on the fixture's window
lines() { printf '%s\n' "$@"; }
# screen_colour RECT DX DY: the colour a screenshot has at DX,DY into RECT (from rect).
screen_colour() {
    [[ $1 =~ ^[0-9]+x[0-9]+\+([0-9]+)\+([0-9]+)$ ]] || { echo "no rectangle: $1"; return; }
    gui_screenshot "$GUI_TMP/screen.png"
    echo "#$(convert "$GUI_TMP/screen.png" -format \
        "%[hex:p{$((BASH_REMATCH[1] + $2)),$((BASH_REMATCH[2] + $3))}]" info:)"
}

gui_setup uidriver
gui_start ui_fixture.exe
if ! ui timeout 60 window "$W"; then
    echo "FAIL: the fixture's window did not appear"
    exit 1
fi

# Wine without a window manager draws a new window's caption inactive until activate.
rect=$(w rect @)
inactive=$(screen_colour "$rect" 60 8)
expect_ok "activate" w activate
active=$(screen_colour "$rect" 60 8)
[ "$active" != "$inactive" ]
expect_eq "the caption's colour changes on activate (it was $inactive)" 0 "$?"

expect_eq "Chinese texts, states and check box read back" \
    "$(lines 没有设备 "$W" disabled enabled visible hidden unchecked visible)" \
    "$(w text 1001 text @ enabled 1008 enabled 1002 visible 1001 visible 1012 checked 1007 \
        visible @)"
expect_eq "a part of the title finds the window" "$W" "$(ui window-containing 界面 text @)"
expect_eq "combo box lines" "$(lines 中文 English)" "$(w lines 1013)"

# The fixture adds the name edit's text to both lists and to the log, and shows its late
# status 0.4 s after each press.
expect_eq "set-text, a click and the late status" "$(lines "名字 one" 升级成功)" \
    "$(w set-text 1006 "名字 one" text 1006 click 1002 wait-text 1001 升级成功 text 1001)"
expect_ok "a second line" w set-text 1006 "第二 two" click 1002 wait-text 1003 "2: 第二"
expect_eq "list box lines" "$(lines "1: 名字 one" "2: 第二 two")" "$(w lines 1003)"
expect_eq "multi-line edit lines" "$(lines "日志 1: 名字 one" "日志 2: 第二 two")" \
    "$(w lines 1005)"
expect_eq "owner-drawn list lines from item data" "$(lines "1: 名字 one ✓" "2: 第二 two ✓")" \
    "$(w data-lines 1004)"
expect_eq "a multi-line text round trip" "$(lines "前 before" "after 后")" \
    "$(w set-text 1005 $'前 before\nafter 后' text 1005)"

# The panel turns from green to red while the alarm box is checked.
expect_eq "the panel's colour follows the check box" "$(lines "#20A040" checked "#D02020")" \
    "$(w pixel 1009 4 4 set-check 1007 checked wait-state 1007 checked wait-pixel 1009 4 4 \
        '#D02020' checked 1007 pixel 1009 0 0)"
expect_eq "the screenshot has the colour where rect puts the panel" "#D02020" \
    "$(screen_colour "$(w rect 1009)" 20 10)"
expect_ok "unchecked again, green again" w set-check 1007 unchecked wait-pixel 1009 4 4 '#20A040'

# A message box answered both ways; while it is open the dialog takes no click.
expect_eq "OK answered" "$(lines 继续升级吗？ "Continue the upgrade?" OK)" \
    "$(w click 1010 msgbox 继续 answer ok wait-text 1011 OK text 1011)"
expect_ok "the question again" w click 1010 msgbox "Fixture question"
expect_fail "a click while the box is open" 1 "is disabled (is a modal window open?)" \
    w click 1002
expect_fail "a button the box lacks" 1 "has no no button" w msgbox 继续 answer no
expect_eq "Cancel answered" "$(lines 继续升级吗？ "Continue the upgrade?" Cancel)" \
    "$(w msgbox "Fixture question" answer cancel wait-text 1011 Cancel text 1011)"

# What the driver refuses: STATUS|MESSAGE|COMMANDS (as shell words).
while IFS='|' read -r status message commands; do
    eval "set -- $commands"
    expect_fail "cv50ui $commands" "$status" "$message" ui "$@"
done <<'EOF'
2|unknown command "klick"|window "CV50 界面测试" klick 1002
2|wait-text: TEXT is missing|window "CV50 界面测试" wait-text 1001
2|ID "abc": a control id|window "CV50 界面测试" text abc
2|COLOUR "red": a colour #RRGGBB|window "CV50 界面测试" wait-pixel 1009 1 1 red
1|no window chosen yet|text 1001
1|no window titled "Nowhere" after 0.5 s; shown: "CV50 界面测试"|timeout 0.5 window Nowhere
1|no control 4242 in "CV50 界面测试"|window "CV50 界面测试" text 4242
1|the control is disabled|window "CV50 界面测试" click 1008
1|the control is hidden|window "CV50 界面测试" click 1012
2|ITEM "close": a menu item number|window "CV50 界面测试" sys-command close
1|the text is "升级成功"|window "CV50 界面测试" timeout 0.5 wait-text 1001 never
1|still not enabled after 0.5 s|window "CV50 界面测试" timeout 0.5 wait-state 1008 enabled
1|the colour is #20A040, not #000000|window "CV50 界面测试" timeout 0.3 wait-pixel 1009 1 1 '#000000'
1|outside the control's|window "CV50 界面测试" pixel 1009 4 400
1|no message box with "继续" after 0.5 s|window "CV50 界面测试" timeout 0.5 msgbox 继续
1|use msgbox TEXT first|window "CV50 界面测试" answer ok
1|owner-drawn without LBS_HASSTRINGS|window "CV50 界面测试" lines 1004
EOF

# A row stops at its first failure, and a bad row does nothing at all.
expect_fail "a failing command ends the row" 1 "click 1008: the control is disabled" \
    w set-text 1006 before click 1008 set-text 1006 after
expect_fail "a bad row is refused before it runs" 2 "unknown command" \
    w set-text 1006 changed klick
expect_eq "neither row went on" "before" "$(w text 1006)"
expect_eq "a command posted to a disabled button" "pressed while disabled" \
    "$(w post-command 1008 wait-text 1001 "pressed while disabled" text 1001)"

expect_ok "the screenshot" gui_shoot_window "$CV50_GUI_OUT/uidriver.png" "$W"
expect_eq "the screenshot is the window's size" "$(w rect @ | cut -d+ -f1)" \
    "$(identify -format '%wx%h' "$CV50_GUI_OUT/uidriver.png")"

expect_ok "closed" w close wait-closed
gui_wait_exit 20
expect_eq "the fixture's exit status" 0 "$?"
gui_finish
