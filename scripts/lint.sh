#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) and cppcheck over the project's
# own C++; exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test lint
# A clang build gives clang-tidy the flags it understands, and the Qt sources
# their generated moc files.
cmake -S . -B build/lint -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build/lint >/dev/null

# The Windows layers are checked by their own compiler, in scripts/windows.sh.
mapfile -t sources < <(git ls-files '*.cpp' ':!:*_windows.cpp' ':!:*/win32/*' ':!:*win32_*' ':!:*winmm_*')
status=0

echo "clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p build/lint --quiet 2>/dev/null >build/lint/clang-tidy.log || status=1
if grep -q 'error:\|warning:' build/lint/clang-tidy.log; then
  grep -A3 'error:\|warning:' build/lint/clang-tidy.log
  status=1
fi

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
         --library=googletest --library=qt --library=posix \
         --enable=warning,performance,portability --suppress=missingIncludeSystem \
         -I . "${sources[@]}" || status=1

[ $status -eq 0 ] && echo "lint: clean"
exit $status
