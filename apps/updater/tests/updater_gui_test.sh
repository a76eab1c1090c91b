#!/usr/bin/env bash
# CV50DeviceManager under Wine against simulated players, driven only through its window: a
# second start that leaves at once; no player; two players; a blank player repaired into a
# formatted disk; that disk upgraded, its versions before and after; the window in English and
# in Chinese; the disk upgraded again on a PC that has never had the CorvUsb driver. The
# player is checked with cv50 afterwards, its volume with mtools.
source "${CV50_GUI_LIB:?run this through ctest: cv50_add_gui_test sets CV50_GUI_LIB}"

W="CV50 Device Manager v2.22 "
w() { ui window "$W" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
cv50() { wine "$CV50_BIN_DIR/cv50.exe" "$@" 2>&1 | tr -d '\r'; }

gui_setup updater
HERE=$GUI_TMP/station
mkdir -p "$HERE/Language" "$HERE/pieces" "$HERE/firmware"
for f in CV50DeviceManager.exe CV50DLL.dll cv50sim.dll CV60FSDLL.dll; do
    cp "$CV50_BIN_DIR/$f" "$HERE/" || gui_fail_setup "no $f"
done
cp "$CV50_BIN_DIR"/../language/CV50DeviceManager/*.ini "$HERE/Language/" || gui_fail_setup "no language files"

# The firmware: a sample loader, an old image (system version 1.1.20) and a new one (1.2.34).
cv50 loader sample "$(winpath "$HERE/pieces")" >/dev/null
cv50 loader pack --pieces "$(winpath "$HERE/pieces")" --version 1.23 --date 2026-03-07 \
    -o "$(winpath "$HERE/CVBOOT.BIN")" >/dev/null
printf 'system file\n' >"$HERE/firmware/system.cfg"
for image in old:0x01010020 new:0x01020034; do
    cv50 image pack --loader "$(winpath "$HERE/CVBOOT.BIN")" --folder "$(winpath "$HERE/firmware")" \
        --system-version "${image#*:}" --system-disk 64 --config-disk 16 \
        -o "$(winpath "$HERE/${image%%:*}.img")" >/dev/null
done
[ -s "$HERE/new.img" ] && [ -s "$HERE/old.img" ] || gui_fail_setup "no firmware images"

# world NAME PORTS [KEYS]: a scenario of the ports (JSON) and other keys, the players' flash
# kept in one folder.
world() {
    printf '{"speed": 20, "state": "%s", %s"controllers": [{"ports": [%s]}]}\n' \
        "$(winpath "$HERE/state" | sed 's/\\/\\\\/g')" "${3:+$3, }" "$2" >"$HERE/$1.json"
    winpath "$HERE/$1.json"
}
settings() {  # settings IMAGE LANGUAGE: setting.ini naming the players, the image, the language
    printf '[DEVICE_ID]\nVID=0x071B\nPID=0x3201\n[MSC_ID]\nVID=0x071B\nPID=0x3203\n[SYSTEM]\nFIRMWARE=%s\nDISK_VOLUME=PLAYER\nLANGUAGE=%s\nHOMEPAGE=http://www.example.com/cv50\n' \
        "$(winpath "$HERE/$1")" "$2" >"$HERE/setting.ini"
}
run() {  # run SCENARIO: the updater started on that world
    gui_start "CV50_SIM=$1" "$HERE/CV50DeviceManager.exe"
    ui timeout 60 window "$W" >/dev/null || { echo "FAIL: no window"; gui_finish; exit 1; }
}
quit() {  # quit QUESTION: Exit, answered Yes
    expect_ok "exit" w click 1005 msgbox "$1" answer yes wait-closed
    gui_wait_exit 30
    expect_eq "the exit status" 0 "$?"
}
shoot() {  # shoot NAME: the window, kept for the README as NAME
    w activate >/dev/null
    gui_shoot_window "$CV50_GUI_OUT/$1" "$W"
    gui_publish "$CV50_GUI_OUT/$1" "$1"
}

# --- No player; a second start leaves without a window.
settings new.img English
none=$(world none "null")
run "$none"
expect_ok "no player" w timeout 30 wait-text 1010 "No player connected."
expect_eq "the image's versions" "$(printf '1.2.34\n1.23')" "$(w text 1012 text 1013)"
expect_eq "the image's path" "$(winpath "$HERE/new.img")" "$(w text 1027)"
expect_eq "the commands wait for a player" "$(printf 'disabled\ndisabled')" \
    "$(w enabled 1002 enabled 1006)"
status=0
CV50_SIM=$none timeout 60 wine "$HERE/CV50DeviceManager.exe" >/dev/null 2>&1 || status=$?
expect_eq "a second updater ends at once" 0 "$status"
expect_eq "a command that finds no player" "No player is connected." \
    "$(w post-command 1002 msgbox "No player is connected" answer ok)"
A="About CV50 Device Manager"
expect_eq "the about box from the system menu" "$(printf 'CV50 Device Manager\nVersion v2.22 ')" \
    "$(w sys-command 16 && ui window "$A" text 1023 text 1024)"
expect_ok "the about box closes" ui window "$A" click 1 wait-closed
quit "Exit the device manager?"

# --- Two players are refused.
run "$(world two '{"player": {"mode": "loader"}}, {"player": {"mode": "loader"}}')"
expect_ok "two players" w timeout 30 wait-text 1010 "Several players are connected."
expect_eq "the step line says why" "Connect only one player at a time." "$(w text 1009)"
expect_eq "the commands wait" "$(printf 'disabled\ndisabled')" "$(w enabled 1002 enabled 1006)"
expect_eq "Repair refused" "More than one player is connected. Leave only the player to upgrade connected." \
    "$(w post-command 1006 msgbox "More than one player" answer ok)"
quit "Exit the device manager?"

# --- A blank player in mask ROM repaired with the old image: a formatted disk.
settings old.img English
run "$(world maskrom '{"player": {"mode": "maskrom", "enumerateDelay": 0.5}}')"
expect_ok "the MaskRom player" w timeout 30 wait-text 1011 "CV50 MaskRom"
expect_eq "no versions from the mask ROM" "$(printf 'N/A\nN/A')" "$(w text 1014 text 1015)"
expect_ok "Upgrade refused" w wait-state 1002 enabled click 1002 msgbox "cannot be upgraded" answer ok
expect_ok "Repair asked and started" w click 1006 msgbox "A repair erases everything" answer yes ||
    gui_stop
expect_ok "the repair runs" w timeout 10 wait-text 1010 "Repairing."
expect_eq "repaired" "The repair has finished. The player is ready to use." \
    "$(w timeout 240 msgbox "The repair has finished" answer ok)"
expect_ok "held again as a disk" w timeout 30 wait-text 1011 "CV50 SDK" wait-text 1014 1.1.20
quit "Exit the device manager?"

msc=$(world msc '{"player": {"mode": "msc", "enumerateDelay": 0.5}}')
cv50 --sim "$msc" sim-volume --port 1 "$(winpath "$HERE/volume.img")" >/dev/null
expect_ok "a FAT32 volume" fsck.fat -n "$HERE/volume.img"
expect_eq "labelled as the settings say" "PLAYER" \
    "$(mlabel -s -i "$HERE/volume.img" :: 2>&1 | sed 's/^ *Volume label is //; s/ *$//')"

# --- The disk upgraded with the new image: its versions before and after.
settings new.img English
run "$msc"
expect_ok "the disk and its versions" w timeout 30 wait-text 1011 "CV50 SDK" wait-text 1014 1.1.20 \
    wait-text 1015 1.23
expect_eq "the player's and the image's versions" "$(printf '1.1.20\n1.2.34')" "$(w text 1014 text 1012)"
shoot cv50devicemanager-en.png
expect_ok "Upgrade asked and started" w click 1002 msgbox "Upgrade the player" answer yes || gui_stop
expect_eq "upgraded" "The upgrade has finished. The player starts with the new firmware." \
    "$(w timeout 240 msgbox "The upgrade has finished" answer ok)"
expect_ok "held again as its loader" w timeout 30 wait-text 1011 "Corv USB"
expect_eq "the window is idle" "$(printf 'enabled\nenabled\n')" "$(w enabled 1028 enabled 1002 text 1018)"
quit "Exit the device manager?"

# --- Plugged in again it is a disk with the new versions; the window in Chinese.
settings new.img 简体中文
run "$msc"
expect_ok "the new versions" w timeout 30 wait-text 1014 1.2.34 wait-text 1015 1.23
expect_eq "the Chinese texts" "$(printf '发现设备：CV50 SDK\n升级(&U)\n修复(&R)\n固件文件:')" \
    "$(w text 1010 text 1002 text 1006 text 1047)"
shoot cv50devicemanager-zh.png
quit "确定要退出设备管理器吗"
expect_eq "the player's versions" "$(printf 'loader version: 0001.0023\nsystem version: 0102.0034')" \
    "$(cv50 --sim "$msc" version --port 1)"

# --- On a PC without the CorvUsb driver the switched player is unknown until the updater
# installs the driver from Driver\corvusb50.inf; the upgrade goes on.
mkdir -p "$HERE/Driver"
cp "$CV50_BIN_DIR/Driver/corvusb50.inf" "$HERE/Driver/" || gui_fail_setup "no driver package"
settings new.img English
nodriver=$(world nodriver '{"player": {"mode": "msc", "enumerateDelay": 0.5}}' \
    '"corvUsbDriver": {"installed": false}')
run "$nodriver"
expect_ok "the disk" w timeout 30 wait-text 1011 "CV50 SDK" wait-text 1014 1.2.34
expect_ok "Upgrade asked and started" w click 1002 msgbox "Upgrade the player" answer yes || gui_stop
expect_eq "upgraded through the driver installation" \
    "The upgrade has finished. The player starts with the new firmware." \
    "$(w timeout 240 msgbox "The upgrade has finished" answer ok)"
expect_ok "held again as its loader" w timeout 30 wait-text 1011 "Corv USB"
quit "Exit the device manager?"
gui_finish
