#!/usr/bin/env bash
# The station folders of dist/ as a user unpacks them from the zip: each program started from
# its own folder, with only the settings sample it ships, finds a simulated player and shows
# its texts; cv50 lists the player.
source "${CV50_GUI_LIB:?run this through ctest: cv50_add_gui_test sets CV50_GUI_LIB}"
ZIP=${1:?the zip}

winpath() { echo "Z:${1//\//\\}"; }

gui_setup dist
HERE=$GUI_TMP/unpacked
mkdir -p "$HERE"
(cd "$HERE" && cmake -E tar xf "$ZIP") || gui_fail_setup "cannot unpack $ZIP"
for f in CV50DeviceManager/Language/Chinese.ini CV50DeviceManager/Driver/corvusb50.inf \
    CV50DeviceManager/Title.BMP CV50BatchUpgrade/Language/English.ini CV50Upgrade/Setting.ini; do
    expect_ok "$f is there" test -s "$HERE/$f"
done

# One player of each mode the programs start from; the folders' own settings name them.
printf '{"speed": 20, "controllers": [{"ports": [%s]}]}\n' \
    '{"player": {"mode": "msc", "enumerateDelay": 0.5}}' >"$GUI_TMP/disk.json"
printf '{"speed": 20, "controllers": [{"ports": [%s]}]}\n' \
    '{"player": {"mode": "loader", "enumerateDelay": 0.5}}' >"$GUI_TMP/loader.json"

# The first programs of the prefix copy run alone, a console one and one of the desktop: two
# starting at once can hang Wine's set-up.
ui timeout 1 window "no such window" >/dev/null 2>&1
expect_eq "cv50 from its folder" "1" \
    "$(wine "$HERE/cv50/cv50.exe" --sim "$(winpath "$GUI_TMP/loader.json")" list --json 2>/dev/null |
        tr -d '\r' | grep -c '"layer": "1"')"

starts() {  # starts FOLDER PROGRAM WORLD TITLE CONTROL TEXT: the window shows TEXT in CONTROL
    gui_start "CV50_SIM=$(winpath "$GUI_TMP/$3")" "$HERE/$1/$2"
    expect_ok "$2 shows its window" ui timeout 60 window "$4"
    expect_ok "$2 finds the player" ui window "$4" timeout 30 wait-text "$5" "$6"
}
closes() {  # closes TITLE: ends the started program
    ui window "$1" close >/dev/null 2>&1
    ui timeout 5 window "$1" msgbox "" answer yes >/dev/null 2>&1
    gui_wait_exit 30 || { kill "$GUI_PID" 2>/dev/null; GUI_PID=; }
}

starts CV50DeviceManager CV50DeviceManager.exe disk.json "CV50 Device Manager v2.22 " 1011 "CV50 SDK"
closes "CV50 Device Manager v2.22 "
starts CV50BatchUpgrade CV50BatchUpgrade.exe loader.json "CV50 Batch Upgrade v2.22" 1201 "1"
expect_eq "the production tool's English texts" "Upgrade" "$(ui window "CV50 Batch Upgrade v2.22" text 1022)"
closes "CV50 Batch Upgrade v2.22"
starts CV50Upgrade CV50Upgrade.exe loader.json "CV50Upgrade For Image v2.22" 1022 \
    "发现一个CV50 Loader Corv Usb设备."
closes "CV50Upgrade For Image v2.22"
gui_finish
