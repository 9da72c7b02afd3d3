#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer in build/test, builds the web page, and runs
# every test; then names the slowest.
# Usage: scripts/test.sh [--busy]
#   --busy  runs the tests while stress-ng keeps the machine as busy as a
#           build does (processor, new processes and the disk), as on a
#           distribution's build machine.
set -euo pipefail
cd "$(dirname "$0")/.."

busy=false
case "${1:-}" in
  --busy) busy=true ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--busy]" >&2; exit 2 ;;
esac

tasks=(test web)
$busy && tasks+=(busy)
scripts/install-deps.sh "${tasks[@]}"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DT2TK_SANITIZE=ON -DT2TK_BUILD_TESTS=ON
cmake --build build/test

# The fuzz targets need clang; ctest runs each for a few seconds.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DT2TK_SANITIZE=ON -DT2TK_BUILD_FUZZERS=ON -DT2TK_BUILD_TESTS=OFF -DT2TK_BUILD_GUI=OFF \
      -DT2TK_BUILD_BENCHMARKS=OFF
cmake --build build/fuzz

# The web page, in WebAssembly, and its tests in Chromium.
scripts/web.sh build

if $busy; then
  stress-ng --cpu 4 --fork 4 --hdd 2 --timeout 3600s --quiet &
  stress=$!
  trap 'kill "$stress" 2>/dev/null; wait "$stress" 2>/dev/null' EXIT
fi

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# JACK counts at most eight servers a machine in /dev/shm, and the send tests
# start several: the suite's servers get a /dev/shm of their own, so that
# servers already running (a musician's own, another build's) cannot crowd
# them out. As root a mount namespace will do; otherwise a user namespace in
# which the user stays who they are. Where neither may be had, the tests that
# cannot start a server say so and are skipped.
private_shm() {
  if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
    unshare -m --propagation private bash -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && exec "$@"' _ "$@"
  elif unshare -Urm true 2>/dev/null && unshare --help | grep -q -- --map-user; then
    unshare -Urm bash -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm &&
      exec unshare --user --map-user="$0" --map-group="$1" "${@:2}"' "$(id -u)" "$(id -g)" "$@"
  else
    echo "test.sh: no /dev/shm of the suite's own here; the JACK servers share the machine's" >&2
    "$@"
  fi
}
# Most tests wait on a JACK server, a terminal or a signal rather than on the
# processor: more of them at a time than there are cores.
jobs=$(( $(nproc) * 3 ))
private_shm ctest --test-dir build/test --output-on-failure --parallel "$jobs"
ctest --test-dir build/fuzz --output-on-failure --parallel "$jobs"
ctest --test-dir build/web --output-on-failure

# The slowest tests of the suite, for whoever makes it faster.
echo "Slowest tests (seconds):"
sort -k3 -g -r build/test/Testing/Temporary/CTestCostData.txt 2>/dev/null | grep -v '^---' | head -n 5 |
  awk '{ printf "  %6.2f  %s\n", $3, $1 }'
