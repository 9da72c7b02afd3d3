#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer in build/test, builds the web page, and runs
# every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test web
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DT2TK_SANITIZE=ON -DT2TK_BUILD_TESTS=ON
cmake --build build/test

# The fuzz targets need clang; ctest runs each for a few seconds.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DT2TK_SANITIZE=ON -DT2TK_BUILD_FUZZERS=ON -DT2TK_BUILD_TESTS=OFF -DT2TK_BUILD_GUI=OFF \
      -DT2TK_BUILD_BENCHMARKS=OFF
cmake --build build/fuzz

# The web page, in WebAssembly, and its tests in Chromium.
scripts/web.sh build

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test --output-on-failure --parallel "$(nproc)"
ctest --test-dir build/fuzz --output-on-failure
ctest --test-dir build/web --output-on-failure
