#!/usr/bin/env bash
# Cross-compiles t2tk.exe (the dialog on Win32), t2tk-convert.exe and the
# installer build/windows/t2tk-<version>-win64.exe for 64-bit Windows with
# MinGW-w64 and NSIS, and runs their tests under Wine on an X server of its
# own: every unit test, the Win32 dialog driven by window messages, and the
# installer installed, used and uninstalled. The corpus test and the dialog's
# drop test compare every converted file byte for byte with what Linux writes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows

# Every Wine process on one X server, from the prefix's start: once Wine's
# desktop had begun without a display, a test's window could not be created.
if [ -z "${T2TK_WINDOWS_X:-}" ]; then
  exec env T2TK_WINDOWS_X=1 xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/windows.sh "$@"
fi

# A Wine prefix of our own, quiet, without the Mono and Gecko installers.
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver --persistent  # one server for every test process, not one each
trap 'wineserver --kill || true' EXIT
wineboot --init >/dev/null 2>&1

scripts/web.sh build >/dev/null  # the page in one file goes into the installer too
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
      -DT2TK_BUILD_GUI=ON -DT2TK_BUILD_BENCHMARKS=OFF -DT2TK_WEB_PAGE="$PWD/build/web/t2tk.html"
cmake --build build/windows --target all installer
# Wine itself now and then fails a process before it runs a line of ours (no
# output, 0 s) or never lets one end after it passed: such a test gets one
# more run. A fault of ours fails both runs and still fails the step.
ctest --test-dir build/windows --output-on-failure --timeout 300 --repeat until-pass:2

tests/installer_test.sh build/windows "$PWD/build/web/t2tk.html"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
echo "$PWD/build/windows/t2tk-$version-win64.exe"
