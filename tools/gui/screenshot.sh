#!/usr/bin/env bash
# screenshot.sh PROGRAM "WINDOW TITLE" OUTPUT.png [VAR=VALUE ...] [-- COMMAND ...]
# Starts PROGRAM (a name in build/win64/bin, or a path) under its own Xvfb and Wine prefix
# copy with the environment given (CV50_SIM=scenario.json, ...), waits for its window, runs
# the cv50ui commands on it (wait-text 1001 Ready, click 1002, ...), then writes the window,
# frame and all, to OUTPUT.png.
set -u
if [ $# -lt 3 ]; then
    sed -n '2,6s/^# \?//p' "$0" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/../.." && pwd)
export CV50_BIN_DIR=${CV50_BIN_DIR:-$top/build/win64/bin}
export CV50_WINE_TEMPLATE=${CV50_WINE_TEMPLATE:-$top/build/wineprefix}
program=$1 title=$2 output=$3
shift 3
vars=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    vars+=("$1")
    shift
done
[ $# -gt 0 ] && shift
source "$top/tools/gui/gui_lib.sh"

case $output in /*) ;; *) output=$PWD/$output ;; esac
export CV50_GUI_OUT=$(dirname "$output")  # where a failure's picture goes
gui_setup "$(basename "$output" .png)"
gui_start ${vars[@]+"${vars[@]}"} "$program"
ui timeout 60 window "$title" timeout 20 "$@" activate || exit 1
gui_shoot_window "$output" "$title" || exit 1
echo "$output"
