#!/usr/bin/env bash
# Cross-compiles the conversion core and t2tk-convert for 64-bit Windows with
# MinGW-w64 and runs their tests under Wine (build/windows). The corpus test
# compares every converted file byte for byte with the same expected files as
# on Linux.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows

# A Wine prefix of our own, quiet, without the Mono and Gecko installers.
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver --persistent  # one server for every test process, not one each
trap 'wineserver --kill || true' EXIT
wineboot --init >/dev/null 2>&1

cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
      -DT2TK_BUILD_GUI=OFF -DT2TK_BUILD_BENCHMARKS=OFF
cmake --build build/windows
ctest --test-dir build/windows --output-on-failure --timeout 300
echo "$PWD/build/windows/t2tk-convert.exe"
