#!/usr/bin/env bash
# CV50Upgrade under Wine against simulated players, driven only through its window: a blank
# player upgraded end to end with the Demo folder; a disk switched, its ID Blocks erased,
# a refused Upgrade, and an automatic run of three passes. The players are checked with
# cv50 afterwards, their volumes with mtools.
source "${CV50_GUI_LIB:?run this through ctest: cv50_add_gui_test sets CV50_GUI_LIB}"

W="CV50Upgrade For Image v2.22"
w() { ui window "$W" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
cv50() { wine "$CV50_BIN_DIR/cv50.exe" "$@" 2>&1 | tr -d '\r'; }

gui_setup engineering
HERE=$GUI_TMP/station
mkdir -p "$HERE/Demo/Music" "$HERE/pieces" "$HERE/firmware"
for f in CV50Upgrade.exe cv50sim.dll CV60FSDLL.dll; do cp "$CV50_BIN_DIR/$f" "$HERE/"; done

# The firmware: a sample loader and an image of system version 2.3 with its disk sizes.
cv50 loader sample "$(winpath "$HERE/pieces")" >/dev/null
cv50 loader pack --pieces "$(winpath "$HERE/pieces")" --version 1.23 --date 2026-03-07 \
    -o "$(winpath "$HERE/CVBOOT.BIN")" >/dev/null
printf 'system file\n' >"$HERE/firmware/system.cfg"
cv50 image pack --loader "$(winpath "$HERE/CVBOOT.BIN")" --folder "$(winpath "$HERE/firmware")" \
    --system-version 2.3 --system-disk 64 --config-disk 16 -o "$(winpath "$HERE/firmware.img")" \
    >/dev/null
printf '演示 demo\n' >"$HERE/Demo/Read Me.txt"
head -c 70000 /dev/urandom >"$HERE/Demo/Music/track01.mp3"
[ -s "$HERE/firmware.img" ] || gui_fail_setup "no firmware image"

# world MODE: one player on port 1 in MODE, its flash kept in the state folder.
world() {
    printf '{"speed": 20, "state": "%s", "controllers": [{"ports": [{"player": {"mode": "%s", "enumerateDelay": 0.5}}]}]}\n' \
        "$(winpath "$HERE/state" | sed 's/\\/\\\\/g')" "$1" >"$HERE/$1.json"
    winpath "$HERE/$1.json"
}
settings() {  # the lines of Setting.ini after [SYSTEM]
    { echo "[SYSTEM]"; printf '%s\n' "$@"; } >"$HERE/Setting.ini"
}
run() {  # run SCENARIO: the tool started on that world
    gui_start "CV50_SIM=$1" "$HERE/CV50Upgrade.exe"
    ui timeout 60 window "$W" >/dev/null || { echo "FAIL: no window"; gui_finish; exit 1; }
}
quit() {
    expect_ok "exit" w click 1002 wait-closed
    gui_wait_exit 30
}

# --- A blank player becomes a disk with the new firmware and the Demo files.
settings "DEFAULT_IMAGE_FILE=$(winpath "$HERE/firmware.img")" \
    "DEFAULT_DEMO_DIR=$(winpath "$HERE/Demo")" "DISK_VOLUME=DEMO"
run "$(world maskrom)"
expect_eq "the boot file out of the image" "1.23" "$(w timeout 20 wait-text 1006 1.23 text 1006)"
expect_eq "the Demo box ticked by the settings" "checked" "$(w checked 1025)"
expect_ok "the MaskRom player is seen" w timeout 30 wait-text 1022 "发现一个CV50 MaskRom Corv Usb设备."
expect_ok "Upgrade" w click 1012 wait-state 1012 disabled || gui_stop
expect_ok "the run ends well" w timeout 180 wait-text 1019 "INFO:升级成功"
expect_eq "the controls are enabled again" "$(printf 'enabled\nenabled\nenabled')" \
    "$(w wait-state 1012 enabled enabled 1012 enabled 1005 enabled 1031)"
log=$(w lines 1019)
for line in "INFO:开始下载Boot Code" "INFO:ID_BLOCK写入成功" "INFO:开始下载Image" \
    "INFO:开始格式化Demo盘" "INFO:开始拷贝Demo"; do
    grep -qxF -- "$line" <<<"$log"
    expect_eq "log line $line" 0 $?
done
w activate >/dev/null
gui_shoot_window "$CV50_GUI_OUT/engineering-upgrade.png" "$W"
gui_publish "$CV50_GUI_OUT/engineering-upgrade.png" cv50upgrade.png
A="关于 CV50Upgrade"
expect_eq "the about box from the system menu" "CV50Upgrade For Image v2.22" \
    "$(w sys-command 16 && ui window "$A" text 1028)"
expect_ok "the about box closes" ui window "$A" click 1 wait-closed
quit

msc=$(world msc)
expect_eq "the player's versions" "$(printf 'loader version: 0001.0023\nsystem version: 0002.0003')" \
    "$(cv50 --sim "$msc" version --port 1)"
cv50 --sim "$msc" sim-volume --port 1 "$(winpath "$HERE/volume.img")" >/dev/null
expect_eq "the Demo files on its disk" "$(printf '演示 demo\n')" \
    "$(mtype -i "$HERE/volume.img" "::/Read Me.txt" 2>&1)"
mcopy -i "$HERE/volume.img" ::/Music/track01.mp3 "$HERE/back.mp3" 2>/dev/null
expect_ok "the track byte for byte" cmp -s "$HERE/Demo/Music/track01.mp3" "$HERE/back.mp3"

# --- The disk switched to its loader, the ID Blocks erased, then three automatic passes.
settings "DEFAULT_IMAGE_FILE=$(winpath "$HERE/firmware.img")" "AUTOUPGRADE=1" "UPGRADETIMES=3"
run "$msc"
expect_ok "the disk is seen" w timeout 30 wait-text 1022 "发现一个CV50 Mass Storage Usb设备."
expect_ok "switch" w click 1020 timeout 30 wait-text 1022 "发现一个CV50 Loader Corv Usb设备."
expect_eq "erase IDB" "擦除IDB成功" "$(w click 1031 timeout 30 msgbox 擦除IDB成功 answer ok)"
expect_ok "back in mask ROM" w timeout 30 wait-text 1022 "发现一个CV50 MaskRom Corv Usb设备."
expect_eq "Demo with auto is refused" "拷贝demo功能不能与自动升级功能同时使用" \
    "$(w set-check 1025 checked click 1012 msgbox 拷贝demo answer ok)"
expect_eq "nothing started" "enabled" "$(w enabled 1012)"
expect_ok "three passes" w set-check 1025 unchecked wait-state 1012 enabled click 1012 timeout 300 \
    wait-text 1019 "INFO:自动升级成功"
log=$(w lines 1019)
for line in "INFO:启动自动升级，总升级次数：3" "INFO:自动升级[3]" "INFO:自动升级[2]" "INFO:自动升级[1]"; do
    grep -qxF -- "$line" <<<"$log"
    expect_eq "log line $line" 0 $?
done
expect_ok "the player stays a loader" w wait-text 1022 "发现一个CV50 Loader Corv Usb设备."
w activate >/dev/null
gui_shoot_window "$CV50_GUI_OUT/engineering-auto.png" "$W"
quit
gui_finish
