#!/usr/bin/env bash
# CV50BatchUpgrade under Wine against sixteen simulated players, driven only through its
# window: eight blank players in mask ROM and seven loaders with ID Blocks from an earlier
# run, one loader without any (its ID Block update fails), one that never comes back after
# its reset, and one whose link is slow, through a whole batch with the demo stage. The
# cells' colours are sampled from the screen; the players' disks are checked with cv50 and
# mtools afterwards.
source "${CV50_GUI_LIB:?run this through ctest: cv50_add_gui_test sets CV50_GUI_LIB}"

W="CV50 量产升级 v2.22"
w() { ui window "$W" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
cv50() { wine "$CV50_BIN_DIR/cv50.exe" "$@" 2>&1 | tr -d '\r'; }

gui_setup batch
HERE=$GUI_TMP/station
mkdir -p "$HERE/Demo" "$HERE/pieces" "$HERE/firmware" "$HERE/Language" "$HERE/state"
for f in CV50BatchUpgrade.exe cv50sim.dll CV60FSDLL.dll; do cp "$CV50_BIN_DIR/$f" "$HERE/"; done

# The firmware: a sample loader and an image of system version 2.3 with its disk sizes.
cv50 loader sample "$(winpath "$HERE/pieces")" >/dev/null
cv50 loader pack --pieces "$(winpath "$HERE/pieces")" --version 1.23 --date 2026-03-07 \
    -o "$(winpath "$HERE/CVBOOT.BIN")" >/dev/null
printf 'system file\n' >"$HERE/firmware/system.cfg"
head -c 1000000 /dev/urandom >"$HERE/firmware/content.bin"  # a megabyte to write and check
cv50 image pack --loader "$(winpath "$HERE/CVBOOT.BIN")" --folder "$(winpath "$HERE/firmware")" \
    --system-version 2.3 --system-disk 64 --config-disk 16 -o "$(winpath "$HERE/firmware.img")" \
    >/dev/null
printf '演示 demo\n' >"$HERE/Demo/Read Me.txt"
[ -s "$HERE/firmware.img" ] || gui_fail_setup "no firmware image"

# The ports: 1-8 mask ROM, 9-15 loaders, 16 a blank loader. 4 never returns after its
# reset; 13 writes its image slowly, so the others wait a while with their image written.
LOADERS="9 10 11 12 13 14 15"
mode_of() { if [ "$1" -le 8 ]; then echo maskrom; elif [ "$1" -le 16 ]; then echo loader; fi; }
world() {  # world NAME [MODE]: the sixteen players in their modes, or all in MODE
    local ports="" p extra
    for p in $(seq 1 16); do
        extra=""
        if [ -z "${2:-}" ]; then
            [ "$p" == 4 ] && extra=', "faults": {"neverReturn": {"atReset": 1}}'
            [ "$p" == 13 ] && extra=', "timing": {"linkBytesPerSecond": 50000}'
        fi
        ports+="${ports:+, }{\"player\": {\"mode\": \"${2:-$(mode_of "$p")}\", \"enumerateDelay\": 0.5$extra}}"
    done
    printf '{"speed": 10, "state": "%s", "controllers": [{"ports": [%s]}]}\n' \
        "$(winpath "$HERE/state" | sed 's/\\/\\\\/g')" "$ports" >"$HERE/$1.json"
    winpath "$HERE/$1.json"
}

# An earlier run left ID Blocks on the seven loaders; 16 has none.
prep=$(world prep)
for p in $LOADERS; do
    cv50 --sim "$prep" idb write --port "$p" --loader "$(winpath "$HERE/CVBOOT.BIN")" --yes \
        >/dev/null || gui_fail_setup "no ID Block on port $p"
done

# The shipped language files.
cp "$CV50_BIN_DIR"/../language/CV50BatchUpgrade/*.ini "$HERE/Language/" ||
    gui_fail_setup "no language files"

{
    printf '[DEVICE_ID]\nPID=0x3201\n[SYSTEM]\nLOG=ENABLE\nLANGUAGE=简体中文\nDISK_VOLUME=DEMO\n'
    printf 'DEFAULT_IMAGE_FILE=%s\nDEFAULT_DEMO_DIR=%s\n' "$(winpath "$HERE/firmware.img")" \
        "$(winpath "$HERE/Demo")"
} >"$HERE/setting.ini"

# A cell's colour at a point of its own, away from its number.
cells() {  # cells SLOT...: one colour per slot (1-based), in one run of the driver
    local args=() s
    for s in "$@"; do args+=(pixel $((1100 + s)) 5 5); done
    w "${args[@]}"
}
BLUE='#0000FF' GREEN='#00FF00' MAGENTA='#FF00FF' RED='#FF0000'

gui_start "CV50_SIM=$(world batch)" "$HERE/CV50BatchUpgrade.exe"
ui timeout 60 window "$W" >/dev/null || { echo "FAIL: no window"; gui_finish; exit 1; }
expect_eq "the language file's button text" "清除" "$(w text 1006)"
expect_eq "the boot file out of the default image" "1.23" "$(w timeout 20 wait-text 1002 1.23 text 1002)"
expect_eq "the Demo box ticked by the settings" "checked" "$(w checked 1010)"
expect_ok "sixteen players bound" w timeout 30 wait-text 1216 16 wait-text 1201 1

expect_ok "upgrade" w click 1022 wait-state 1022 disabled
# Mid-batch: the fast ones have their image and wait for the slow one on port 13.
expect_ok "port 1 (mask ROM) has its image" w timeout 60 wait-pixel 1101 5 5 "$BLUE"
expect_ok "port 9 (loader) has its image" w timeout 60 wait-pixel 1109 5 5 "$GREEN"
expect_ok "port 16 failed its ID Block" w wait-pixel 1116 5 5 "$RED"
expect_ok "port 4 was given up" w wait-pixel 1104 5 5 "$RED"
w activate >/dev/null
gui_shoot_window "$CV50_GUI_OUT/batch-running.png" "$W"
gui_publish "$CV50_GUI_OUT/batch-running.png" cv50batchupgrade-running.png

expect_ok "the batch ends" w timeout 300 wait-state 1022 enabled
expect_eq "the counters" "$(printf '14\n2')" "$(w text 1007 text 1008)"
want=""
for s in $(seq 1 16); do
    case $s in 4 | 16) want+="$RED"$'\n' ;; *) want+="$MAGENTA"$'\n' ;; esac
done
expect_eq "each cell's final colour" "${want%$'\n'}" "$(cells $(seq 1 16))"
lines=$(w lines 1004)
for line in "开始升级16个设备" "端口16：写IDB失败" "端口4：重启后等待设备超时" "端口4：升级失败" \
    "开始为14个设备拷贝Demo" "端口13：开始拷贝Demo" "端口1：升级成功" "升级结束：成功14个，失败2个"; do
    grep -qxF -- "$line" <<<"$lines"
    expect_eq "list line $line" 0 $?
done
expect_eq "one image per imaged player" 14 "$(grep -c '下载Image成功' <<<"$lines")"
w activate >/dev/null
gui_shoot_window "$CV50_GUI_OUT/batch.png" "$W"
gui_publish "$CV50_GUI_OUT/batch.png" cv50batchupgrade.png
log=$(cat "$HERE"/Log/Log*.txt | tr -d '\r')
expect_ok "the log names the give-up" grep -qF "<Layer:4> Error:升级失败-Reset后等待Loader设备超时" <<<"$log"
expect_ok "and the failed ID Block" grep -qF "<Layer:16> Error:升级失败-写IDB失败,错误代码(-22)" <<<"$log"

A="About CV50BatchUpgrade"
expect_eq "the about box from the system menu" "CV50BatchUpgrade For Image v2.22" \
    "$(w sys-command 16 && ui window "$A" text 1030)"
expect_ok "the about box closes" ui window "$A" click 1 wait-closed

expect_ok "exit" w click 1001 wait-closed
gui_wait_exit 30
expect_eq "exit status" 0 $?

# Afterwards every player that made it is a disk with the new firmware and the Demo file.
disks=$(world disks msc)
for p in 1 2 3 5 6 7 8 9 10 11 12 13 14 15; do
    expect_eq "port $p's versions" "$(printf 'loader version: 0001.0023\nsystem version: 0002.0003')" \
        "$(cv50 --sim "$disks" version --port "$p")"
done
for p in 1 13; do
    cv50 --sim "$disks" sim-volume --port "$p" "$(winpath "$HERE/volume$p.img")" >/dev/null
    expect_eq "the Demo file on port $p" "$(printf '演示 demo\n')" \
        "$(mtype -i "$HERE/volume$p.img" "::/Read Me.txt" 2>&1)"
    expect_eq "port $p's label" "Volume label is DEMO" \
        "$(mlabel -i "$HERE/volume$p.img" -s :: 2>&1 | sed 's/^ *//; s/ *$//')"
done
gui_finish
