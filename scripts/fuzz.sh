#!/usr/bin/env bash
# Builds the fuzz targets and runs each for as long as asked (seconds, default
# 600), all at once. New inputs collect in build/fuzz/fuzz/<target>-corpus;
# a crash leaves its input in build/fuzz/<target>-crashes/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(convert_fuzzer text_rules_fuzzer saved_file_fuzzer)

scripts/install-deps.sh test
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DT2TK_SANITIZE=ON -DT2TK_BUILD_FUZZERS=ON -DT2TK_BUILD_TESTS=OFF -DT2TK_BUILD_GUI=OFF \
      -DT2TK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/fuzz

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
for target in "${targets[@]}"; do
  work=build/fuzz/fuzz/$target-corpus
  crashes=build/fuzz/$target-crashes
  mkdir -p "$work" "$crashes"
  build/fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$work" "fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then
    status=1
    echo "${targets[$i]}: FAILED, see build/fuzz/${targets[$i]}.log"
  fi
  grep -E '^#[0-9]+.*(DONE|cov)' "build/fuzz/${targets[$i]}.log" | tail -n 1 | sed "s/^/${targets[$i]}: /"
  grep -E 'stat::number_of_executed_units' "build/fuzz/${targets[$i]}.log" | sed "s/^/${targets[$i]}: /"
done
exit $status
