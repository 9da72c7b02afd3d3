#!/usr/bin/env bash
# Takes a screenshot of the dialog under Xvfb after 51 presets were dropped on
# it with a long output name: the whole status line must show.
# Usage: scripts/dialog_screenshot.sh [PNG]   (default build/dialog-status.png)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DT2TK_SANITIZE=ON >/dev/null
cmake --build build/test --target converter_dialog_test >/dev/null

shot=$(realpath -m "${1:-build/dialog-status.png}")
ASAN_OPTIONS=detect_leaks=0 T2TK_SCREENSHOT=$shot QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 640x480x24" \
  build/test/tests/converter_dialog_test statusFitsTheWindow >/dev/null
echo "$shot"
