#!/bin/sh
# Redraws the About card's pictures into about/ (background.jpg and
# illustration.bmp, and their @2x forms). Needs g++ and the Qt 6 development files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -fPIC "$here/drawart.cpp" -o "$tmp/drawart" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$tmp/drawart" "$here/.."
echo "written: background.jpg, illustration.bmp and their @2x forms in $here/.."
