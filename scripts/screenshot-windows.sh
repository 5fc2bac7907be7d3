#!/usr/bin/env bash
# A picture of the Windows main window under Wine on a virtual X display, for checking its texts.
# Usage: screenshot-windows.sh OUTPUT.png [quarnel.exe]   (default: build-windows/app/quarnel.exe)
# Wine draws title bars with its own fonts, which have no Japanese: the prefix made here maps them
# to Noto Sans CJK JP (Debian fonts-noto-cjk), as a Japanese Windows maps them to its UI font.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "$1")
program=$(realpath "${2:-$root/build-windows/app/quarnel.exe}")
work=$(mktemp -d)
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1000x660x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display WINEPREFIX=$work/wine WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
"$root/cmake/windows/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2"; do
  wine reg add "$key" /v "$face" /d "Noto Sans CJK JP" /f >/dev/null 2>&1
done
wineserver -w
"$root/cmake/windows/wine-run.sh" explorer /desktop=Quarnel,1000x660 "Z:${program//\//\\}" >/dev/null 2>&1 &
# The first start of a prefix sets up fonts and the desktop; the window is up well within this.
sleep "${QUARNEL_SCREENSHOT_WAIT:-30}"
ffmpeg -loglevel error -y -f x11grab -video_size 1000x660 -i "$display" -frames:v 1 "$output"
echo "$output"
