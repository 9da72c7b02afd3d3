#!/usr/bin/env bash
# Builds a Release and measures: the mapping of one preset, the conversion of
# 1, 10 and 50 presets against the file-system floor, what flushing to disk
# costs, t2tk-convert against a process that only copies the same bytes, the
# dialog's start-up, and how closely a send over JACK keeps the schedule.
# Prints one table of medians and ratios.
# Usage: scripts/bench.sh [--long]
#   --long  also sends 50 presets five times while stress-ng keeps the machine
#           busy (some 40 minutes), counting the presets sent again
set -euo pipefail
cd "$(dirname "$0")/.."

sends=-BM_SendFiftyBusy
case "${1:-}" in
  --long) sends=. ;;
  "") ;;
  *) echo "usage: scripts/bench.sh [--long]" >&2; exit 2 ;;
esac

tasks=(bench web)
[ "$sends" = . ] && tasks+=(busy)
scripts/install-deps.sh "${tasks[@]}"
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DT2TK_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench >/dev/null

build/bench/bench/conversion_bench --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
    --benchmark_format=json --benchmark_out=build/bench/conversion.json --benchmark_out_format=json >/dev/null

# A send over a JACK server of our own, with periods of 32 frames (0.7 ms).
export JACK_DEFAULT_SERVER=t2tk-bench-$$ JACK_PERIOD=32 T2TK_MIDI_MODULE=$PWD/build/bench/libt2tk-midi.so
tests/jack_server.sh start
trap 'tests/jack_server.sh stop' EXIT
sleep 1  # the server's first periods after its start are not yet steady
build/bench/bench/send_timing --benchmark_filter="$sends" --benchmark_format=json \
    --benchmark_out=build/bench/send.json --benchmark_out_format=json >/dev/null
# The web page in headless Chromium, with a send of 50 presets in a hidden tab
# at its real pace: some seven minutes.
scripts/web.sh build >/dev/null
/usr/bin/python3 bench/web_bench.py build/web/page examples/presets build/bench/web.json >/dev/null
python3 scripts/bench_report.py build/bench
