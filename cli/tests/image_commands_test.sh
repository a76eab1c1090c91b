#!/usr/bin/env bash
# cv50 loader and cv50 image from the outside: pack, inspect, refuse.
# Usage: image_commands_test.sh CV50 [RUNNER]  (RUNNER: e.g. wine for the Windows build)
set -u
cv50=$(realpath "$1")
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
passes=0

check() {  # check WHAT COMMAND...: the command must succeed
    local what=$1; shift
    if "$@" >out.txt 2>&1; then passes=$((passes + 1)); else
        failures=$((failures + 1)); echo "FAIL: $what"; cat out.txt; fi
}
refuse() {  # refuse WHAT COMMAND...: the command must fail
    local what=$1; shift
    if "$@" >out.txt 2>&1; then
        failures=$((failures + 1)); echo "FAIL (succeeded): $what"; cat out.txt; else passes=$((passes + 1)); fi
}
has() {  # has WHAT TEXT: out.txt must contain TEXT
    if grep -qF -- "$2" out.txt; then passes=$((passes + 1)); else
        failures=$((failures + 1)); echo "FAIL: $1: no '$2' in:"; cat out.txt; fi
}

run() { $runner "$cv50" "$@"; }

check "sample pieces" run loader sample pieces
check "loader pack" run loader pack --pieces pieces --version 12.345 --date 2026-3-7 -o CVBOOT.BIN
mkdir -p "fw/Sub Folder"
printf 'hello' > "fw/Sub Folder/a long name.txt"
check "image pack" run image pack --loader CVBOOT.BIN --folder fw -o fw.img --fat 16 \
    --system-version 0x0102.0x0304 --system-disk 64 --config-disk 0x10
check "image info" run image info fw.img
has "check value" "check value:    ok"
has "loader version in BCD" "loader version: 0012.0345"
has "system version" "system version: 0102.0304"
has "disk sizes" "system 64 MB, configuration 16 MB"
check "image info --json" run image info --json fw.img
has "json tail" '"tailBlock": "valid"'
has "json check" '"checkValueOk": true'

check "pack with a wrong CRC" run image pack --loader CVBOOT.BIN -o crc.img --system-disk 8 --crc 1
refuse "info of a refused tail" run image info crc.img
has "refused tail" "an upgrade refuses this image"
check "pack with another tag" run image pack --loader CVBOOT.BIN -o tag.img --tag TOOLVES
check "info without tag" run image info tag.img
has "no sizes" "disk sizes:     none"
has "no system version" "system version: unknown"

printf 'x' >> fw.img
refuse "info of a changed image" run image info fw.img
has "wrong check value" "check value:    wrong"
refuse "info of a missing image" run image info missing.img
refuse "a version out of range" run loader pack --pieces pieces --version 10000.0
refuse "a piece too large" bash -c "head -c 65537 /dev/zero > big.bin && $runner '$cv50' loader pack --pieces pieces --data big.bin"
refuse "a loader file without its head" run image pack --loader pieces/data.bin -o x.img
refuse "an unknown FAT type" run image pack --loader CVBOOT.BIN -o x.img --fat 15

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
