# gui_lib.sh: sourced by the GUI test scripts (bash). A test gets its own X server and its own
# copy of the template Wine prefix, starts a program under Wine, drives it with cv50ui from
# outside, and takes screenshots; the teardown always runs.
#
#   source "$CV50_GUI_LIB"
#   gui_setup uidriver                  # Xvfb, private prefix, teardown trap
#   gui_start CV50_SIM=/path/world.json ui_fixture.exe
#   ui timeout 60 window "CV50 界面测试"
#   expect_eq "status" "没有设备" "$(ui window "CV50 界面测试" text 1001)"
#   gui_shoot_window "$CV50_GUI_OUT/uidriver.png" "CV50 界面测试"
#   gui_finish                          # prints "N passed, N failed"; non-zero when one failed
#
# Environment (cv50_add_gui_test sets it): CV50_BIN_DIR (the Windows binaries),
# CV50_WINE_TEMPLATE (the prefix to copy), CV50_GUI_OUT (where screenshots go).

set -u

: "${CV50_BIN_DIR:?CV50_BIN_DIR must name the folder of the Windows binaries}"
: "${CV50_WINE_TEMPLATE:?CV50_WINE_TEMPLATE must name the template Wine prefix}"
CV50_GUI_OUT=${CV50_GUI_OUT:-$PWD}

# Wine turns the UTF-8 argv and environment into UTF-16 only under a UTF-8 locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
# No installer dialogs for .NET or HTML engines, and no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

GUI_NAME=gui
GUI_TMP=
GUI_XVFB_PID=
GUI_PID=
GUI_PASSED=0
GUI_FAILED=0

gui_fail_setup() {
    echo "gui_lib: $*" >&2
    exit 1
}

# gui_setup NAME: an X server on a free display and a private Wine prefix; exports DISPLAY
# and WINEPREFIX and arms the teardown. NAME names the failure screenshot.
gui_setup() {
    GUI_NAME=${1:-gui}
    [ -f "$CV50_WINE_TEMPLATE/system.reg" ] ||
        gui_fail_setup "no Wine prefix at $CV50_WINE_TEMPLATE: make it with 'make wineprefix'"
    command -v Xvfb >/dev/null || gui_fail_setup "Xvfb is missing: run 'make deps'"
    gui_reap_stale
    GUI_TMP=$(mktemp -d "${TMPDIR:-/tmp}/cv50-gui.XXXXXX")
    echo $$ >"$GUI_TMP/owner"
    trap gui_teardown EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    gui_start_xvfb
    # A copy, not links: a program's writes (INI files, the registry) must never reach the
    # template that the other tests copy. The other Windows tests run in the template
    # meanwhile: their temporary folders are left out, and a copy that met some other file
    # of theirs vanishing is made again.
    local tries=0
    until gui_copy_prefix "$CV50_WINE_TEMPLATE" "$GUI_TMP/prefix" 2>"$GUI_TMP/prefix-copy.err"; do
        rm -rf "$GUI_TMP/prefix"
        tries=$((tries + 1))
        if [ $tries -ge 3 ]; then
            cat "$GUI_TMP/prefix-copy.err" >&2
            gui_fail_setup "cannot copy the prefix"
        fi
        sleep 1
    done
    export WINEPREFIX=$GUI_TMP/prefix
    mkdir -p "$CV50_GUI_OUT"
}

gui_copy_prefix() {
    mkdir -p "$2" &&
        tar -C "$1" -cf - --exclude='./drive_c/users/*/Temp/*' . | tar -C "$2" -xf - &&
        [ "${PIPESTATUS[0]}" = 0 ]
}

# What a test killed outright (a CTest timeout) left behind: its X server and its prefix
# copy, which is large. Folders without an owner file are still being set up.
gui_reap_stale() {
    local dir owner xvfb
    for dir in "${TMPDIR:-/tmp}"/cv50-gui.*; do
        [ -f "$dir/owner" ] || continue
        owner=$(cat "$dir/owner")
        kill -0 "$owner" 2>/dev/null && continue
        xvfb=$(cat "$dir/xvfb.pid" 2>/dev/null)
        [ -n "$xvfb" ] && [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" == Xvfb ] && kill "$xvfb"
        [ -d "$dir/prefix" ] && WINEPREFIX=$dir/prefix wineserver -k 2>/dev/null
        rm -rf "$dir"
    done
}

# Xvfb picks a free display itself (-displayfd), so parallel tests never race for one.
gui_start_xvfb() {
    local file=$GUI_TMP/display i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$file" >"$GUI_TMP/xvfb.log" 2>&1 &
    GUI_XVFB_PID=$!
    echo "$GUI_XVFB_PID" >"$GUI_TMP/xvfb.pid"
    for ((i = 0; i < 100; i++)); do
        [ -s "$file" ] && break
        kill -0 "$GUI_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$file" ] || gui_fail_setup "Xvfb did not start: $(cat "$GUI_TMP/xvfb.log")"
    export DISPLAY=:$(head -n 1 "$file")
}

# gui_start [VAR=VALUE ...] PROGRAM [ARGUMENT ...]: starts the program (a name in
# CV50_BIN_DIR, or a path) under Wine in the background; its output goes to
# $GUI_TMP/program.log. Unix paths in the environment work: Wine maps / to Z:.
gui_start() {
    local vars=()
    while [ $# -gt 0 ] && [[ $1 == [A-Za-z_]*=* ]]; do
        vars+=("$1")
        shift
    done
    local program=$1
    shift
    [[ $program == */* ]] || program=$CV50_BIN_DIR/$program
    [ -f "$program" ] || gui_fail_setup "no program $program"
    env ${vars[@]+"${vars[@]}"} wine "$program" "$@" >"$GUI_TMP/program.log" 2>&1 &
    GUI_PID=$!
}

# ui COMMAND [ARGUMENT ...] ...: runs cv50ui with a row of commands (cv50ui --help).
# cv50ui says why whenever it fails, so a failure without a word is a start under Wine that
# never reached its commands (seen once on a loaded CI machine): that run is tried again,
# and gui_finish tells how often it happened.
ui() {
    local dir=${GUI_TMP:-${TMPDIR:-/tmp}} out err status try
    out=$(mktemp "$dir/cv50ui-out.XXXXXX") err=$(mktemp "$dir/cv50ui-err.XXXXXX")
    for try in 1 2 3; do
        status=0
        wine "$CV50_BIN_DIR/cv50ui.exe" "$@" >"$out" 2>"$err" || status=$?
        [ "$status" != 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ] || break
        [ -n "$GUI_TMP" ] &&
            echo "cv50ui $* ended with status $status, saying nothing" >>"$GUI_TMP/silent-ui.log"
    done
    cat "$out"
    cat "$err" >&2
    rm -f "$out" "$err"
    return "$status"
}

# gui_wait_exit [SECONDS]: waits for the started program to end; returns its exit status,
# or 124 when it still runs after SECONDS (default 20).
gui_wait_exit() {
    local limit=${1:-20} i
    [ -n "$GUI_PID" ] || return 0
    for ((i = 0; i < limit * 10; i++)); do
        if ! kill -0 "$GUI_PID" 2>/dev/null; then
            local status=0
            wait "$GUI_PID" || status=$?
            GUI_PID=
            return $status
        fi
        sleep 0.1
    done
    return 124
}

# gui_screenshot OUT.png [GEOMETRY]: the screen, or the part WIDTHxHEIGHT+LEFT+TOP of it,
# once two looks a moment apart agree: a window that has just appeared may still paint.
gui_screenshot() {
    local out=$1 crop=() last= now i
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    mkdir -p "$(dirname "$out")"
    for ((i = 0; i < 25; i++)); do
        xwd -root -silent -display "$DISPLAY" >"$GUI_TMP/screen.xwd" || return 1
        now=$(md5sum <"$GUI_TMP/screen.xwd")
        [ "$now" == "$last" ] && break
        last=$now
        sleep 0.2
    done
    convert "xwd:$GUI_TMP/screen.xwd" "${crop[@]}" "$out"
}

# gui_shoot_window OUT.png TITLE: the window with that title, frame and all.
gui_shoot_window() {
    local rect
    rect=$(ui window "$2" rect @) || return 1
    gui_screenshot "$1" "$rect"
}

# Checks. Each prints FAIL with what it saw and returns non-zero; gui_finish gives the count
# and the status.
expect_eq() {  # expect_eq WHAT EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        GUI_PASSED=$((GUI_PASSED + 1))
    else
        GUI_FAILED=$((GUI_FAILED + 1))
        printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        return 1
    fi
}

expect_ok() {  # expect_ok WHAT COMMAND ...: the command must succeed
    local what=$1 out status=0
    shift
    out=$("$@" 2>&1) || status=$?
    if [ "$status" == 0 ]; then
        GUI_PASSED=$((GUI_PASSED + 1))
    else
        GUI_FAILED=$((GUI_FAILED + 1))
        printf 'FAIL: %s (exit %s)\n%s\n' "$what" "$status" "$out"
        return 1
    fi
}

expect_fail() {  # expect_fail WHAT STATUS MESSAGE COMMAND ...: exit STATUS, MESSAGE on stderr
    local what=$1 want=$2 message=$3 status=0 err
    shift 3
    err=$("$@" 2>&1 >/dev/null) || status=$?
    if [ "$status" == "$want" ] && [[ $err == *"$message"* ]]; then
        GUI_PASSED=$((GUI_PASSED + 1))
    else
        GUI_FAILED=$((GUI_FAILED + 1))
        printf 'FAIL: %s\n  expected exit %s with "%s"\n  got exit %s: %s\n' \
            "$what" "$want" "$message" "$status" "$err"
        return 1
    fi
}

# gui_publish FILE NAME: with CV50_SCREENSHOTS set (make screenshots), FILE is also kept
# there as NAME, for the README.
gui_publish() {
    [ -n "${CV50_SCREENSHOTS:-}" ] && [ -s "$1" ] && cp "$1" "$CV50_SCREENSHOTS/$2"
    return 0
}

gui_finish() {
    echo "$GUI_NAME: $GUI_PASSED passed, $GUI_FAILED failed"
    if [ -n "$GUI_TMP" ] && [ -s "$GUI_TMP/silent-ui.log" ]; then
        echo "gui_lib: runs of cv50ui that ended without a word and were run again:"
        cat "$GUI_TMP/silent-ui.log"
    fi
    [ "$GUI_FAILED" == 0 ]
}

# gui_stop: ends a test whose next steps need the one that just failed, rather than have
# each of them wait out its own timeout; the teardown shows the screen and the program's
# output.
gui_stop() {
    echo "gui_lib: stopped after a failed step that the next ones need"
    gui_finish
    exit 1
}

# Always runs: a screenshot when the test failed, then Wine, X and the prefix go.
gui_teardown() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$GUI_XVFB_PID" ] && { [ "$status" != 0 ] || [ "$GUI_FAILED" != 0 ]; }; then
        gui_screenshot "$CV50_GUI_OUT/$GUI_NAME-failure.png" 2>/dev/null &&
            echo "gui_lib: the screen at the failure: $CV50_GUI_OUT/$GUI_NAME-failure.png"
        [ -s "$GUI_TMP/program.log" ] && { echo "gui_lib: the program's output:"; cat "$GUI_TMP/program.log"; }
    fi
    if [ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" == "$GUI_TMP/prefix" ]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    [ -n "$GUI_PID" ] && wait "$GUI_PID" 2>/dev/null
    if [ -n "$GUI_XVFB_PID" ]; then
        kill "$GUI_XVFB_PID" 2>/dev/null
        wait "$GUI_XVFB_PID" 2>/dev/null
    fi
    [ -n "$GUI_TMP" ] && rm -rf "$GUI_TMP"
    exit "$status"
}
