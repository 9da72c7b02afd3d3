#!/usr/bin/env bash
# Takes screenshots of t2tk.exe under Wine on Xvfb, the dialog open, at 96
# and 144 dpi, into res/screenshots/windows-dialog-<dpi>dpi.png (or FOLDER).
# Usage: scripts/windows_screenshot.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows screenshot
folder=$(realpath -m "${1:-res/screenshots}")
mkdir -p "$folder"
[ -x build/windows/t2tk.exe ] || scripts/windows.sh >/dev/null

export WINEPREFIX=$PWD/build/wine-screenshot WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
for dpi in 96 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver --wait
  size=$((640 * dpi / 96))x$((480 * dpi / 96))
  xvfb-run -a -s "-screen 0 ${size}x24" bash -c '
    wine explorer /desktop=t2tk,"$1" build/windows/t2tk.exe &  # a desktop of its own draws the frame
    sleep 8
    import -window root "$0"
    wineserver --kill' "$folder/windows-dialog-${dpi}dpi.png" "$size"
  # The dialog and a margin of the desktop around it.
  mogrify -trim -bordercolor '#2a6f97' -border 12 +repage "$folder/windows-dialog-${dpi}dpi.png"
  echo "$folder/windows-dialog-${dpi}dpi.png"
done
