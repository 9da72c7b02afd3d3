#!/usr/bin/env bash
# Takes a screenshot of t2tk.exe under Wine on Xvfb, the dialog open.
# Usage: scripts/windows_screenshot.sh [PNG]   (default build/windows-dialog.png)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows screenshot
shot=$(realpath -m "${1:-build/windows-dialog.png}")
[ -x build/windows/t2tk.exe ] || scripts/windows.sh >/dev/null

export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  wine explorer /desktop=t2tk,640x480 build/windows/t2tk.exe &  # a desktop of its own draws the frame
  sleep 8
  import -window root "$0"
  wineserver --kill' "$shot"
echo "$shot"
