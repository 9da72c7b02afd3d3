#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) and cppcheck over the project's
# own C++: the Linux sources with the flags of a clang build, the Windows ones
# (and the Windows side of the shared ones) with the flags of the MinGW build
# and clang's own x86_64-w64-mingw32 target, and the web page's core with the
# flags of the Emscripten build. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test lint windows web
# A clang build gives clang-tidy the flags it understands, and the Qt sources
# their generated moc files; the other two builds give theirs.
cmake -S . -B build/lint -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build/lint >/dev/null
cmake -S . -B build/lint-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DT2TK_BUILD_BENCHMARKS=OFF >/dev/null
scripts/web.sh build >/dev/null

# The C++ library of MinGW, but not GCC's own builtin headers, which clang has too.
mingw_includes=()
while read -r folder; do
  mingw_includes+=("--extra-arg=-isystem$folder")
done < <(x86_64-w64-mingw32-g++-posix -E -x c++ - -v </dev/null 2>&1 |
         sed -n '/#include <...> search starts here:/,/End of search list./s/^ //p' |
         grep -v -E '/lib/gcc/[^/]+/[^/]+/include(-fixed)?$')

mapfile -t linux < <(git ls-files '*.cpp' ':!:*_windows.cpp' ':!:*/win32/*' ':!:*win32_*' ':!:*winmm_*' ':!:web/*')
mapfile -t windows < <(git ls-files '*_windows.cpp' 'app/win32/*.cpp' '*win32_*.cpp' '*winmm_*.cpp';
                       git grep -l -E '^#if(def|ndef)? .*_WIN32' -- '*.cpp' ':!:*_windows.cpp' ':!:*/win32/*' \
                           ':!:*win32_*' ':!:*winmm_*' ':!:fuzz/*' ':!:bench/*')
mapfile -t web < <(git ls-files 'web/*.cpp')
status=0

tidy() {  # tidy LOG BUILD [ARGUMENTS...] -- FILES...: clang-tidy over files with the flags of a build
  local log=$1 build=$2; shift 2
  local arguments=()
  while [ "$1" != -- ]; do arguments+=("$1"); shift; done
  shift
  printf '%s\n' "$@" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet "${arguments[@]}" 2>/dev/null >"$log" ||
    status=1
  if grep -q 'error:\|warning:' "$log"; then
    grep -A3 'error:\|warning:' "$log"
    status=1
  fi
}
echo "clang-tidy: ${#linux[@]} files for Linux, ${#windows[@]} for Windows, ${#web[@]} for the web"
tidy build/lint/clang-tidy.log build/lint -- "${linux[@]}"
tidy build/lint/clang-tidy-windows.log build/lint-windows --extra-arg=--target=x86_64-w64-mingw32 \
     "${mingw_includes[@]}" -- "${windows[@]}"
# What em++ adds to clang's flags (its target, system root, defines).
web_flags=()
for flag in $(NODE_PATH=/usr/share/nodejs em++ --cflags | sed 's/-mllvm [^ ]*//g; s/-Xclang //g'); do
  web_flags+=("--extra-arg=$flag")
done
tidy build/lint/clang-tidy-web.log build/web "${web_flags[@]}" -- "${web[@]}"

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
         --library=googletest --library=qt --library=posix \
         --enable=warning,performance,portability --suppress=missingIncludeSystem \
         -I . "${linux[@]}" || status=1

[ $status -eq 0 ] && echo "lint: clean"
exit $status
