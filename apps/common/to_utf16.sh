#!/bin/sh
# to_utf16.sh IN OUT: the UTF-8 text IN as OUT in UTF-16LE with a byte-order mark and CR LF
# line ends, the form of a profile file that every Windows reads in full.
set -e
mkdir -p "$(dirname "$2")"
{ printf '\377\376'; sed 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$2.part"
mv "$2.part" "$2"
