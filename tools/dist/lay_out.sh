#!/usr/bin/env bash
# lay_out.sh BUILD SOURCE STRIP: BUILD/dist/ as a station installs it, one folder per program with
# the libraries it loads, its Language\ and Driver\, its commented sample settings and its
# pictures, the command line beside them, and BUILD/dist/cv50-toolset.zip of it all.
set -euo pipefail
build=$1 source=$2 strip=$3
bin=$build/bin dist=$build/dist
rm -rf "$dist.part"
mkdir -p "$dist.part"

program() {  # program FOLDER FILE...: FOLDER with the files of bin/
    mkdir -p "$dist.part/$1"
    local folder=$1
    shift
    for f in "$@"; do cp "$bin/$f" "$dist.part/$folder/"; done
}
# Every program loads the backend library cv50sim.dll (the real system unless CV50_SIM names
# a simulated world) and the package library for the loader inside an image.
program CV50DeviceManager CV50DeviceManager.exe CV50DLL.dll CV60FSDLL.dll cv50sim.dll
program CV50BatchUpgrade CV50BatchUpgrade.exe CV60FSDLL.dll cv50sim.dll
program CV50Upgrade CV50Upgrade.exe CV60FSDLL.dll cv50sim.dll
program cv50 cv50.exe CV60FSDLL.dll cv50sim.dll
# Without the debugging information the build keeps for the tests.
find "$dist.part" -name '*.exe' -o -name '*.dll' | xargs "$strip" --strip-debug

for p in CV50DeviceManager CV50BatchUpgrade; do
    mkdir -p "$dist.part/$p/Language"
    cp "$build/language/$p/"*.ini "$dist.part/$p/Language/"
done
for p in CV50DeviceManager CV50BatchUpgrade CV50Upgrade; do
    cp "$build/samples/$p/"*.ini "$dist.part/$p/"
done
mkdir -p "$dist.part/CV50DeviceManager/Driver"
cp "$source/Driver/corvusb50.inf" "$dist.part/CV50DeviceManager/Driver/"

# The updater's pictures: the title in the window, the splash and the about box's banner.
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
picture() {  # picture FILE WIDTHxHEIGHT POINTS TEXT
    convert -size "$2" gradient:'#1d4f91-#3d8fd6' -font "$font" -fill white -pointsize "$3" \
        -gravity center -annotate +0+0 "$4" BMP3:"$dist.part/CV50DeviceManager/$1"
}
picture Title.BMP 150x54 18 "CV50"
picture Startup.BMP 353x238 30 "CV50 Device Manager"
picture AboutTitle.BMP 294x150 22 "CV50 Device Manager"

cp "$source/tools/dist/README.txt" "$dist.part/"
rm -rf "$dist"
mv "$dist.part" "$dist"
(cd "$dist" && cmake -E tar cf "../cv50-toolset.zip.part" --format=zip -- *)
mv "$build/cv50-toolset.zip.part" "$dist/cv50-toolset.zip"
