#!/usr/bin/env bash
# Makes every artifact of a version in one run, from one commit, into
# build/release-<version>/: the source tarball t2tk-<version>.tar.gz, the
# Debian package t2tk_<version>_amd64.deb, the Windows installer
# t2tk-<version>-win64.exe, the web page in one file t2tk.html, and
# SHA256SUMS over them. All of it is built from the tarball, in a clean tree
# in the same place each time, with SOURCE_DATE_EPOCH the commit's time: a
# second run from the same commit gives the same bytes (tests/release_test.sh
# checks it). Changes not committed are not in it.
# Usage: scripts/release.sh [--only deb,exe,html] [COMMIT]   (default HEAD)
#   --only  builds those artifacts alone (and the tarball), for a quicker check
set -euo pipefail
cd "$(dirname "$0")/.."

only=deb,exe,html
if [ "${1:-}" = --only ]; then
  only=$2
  shift 2
fi
[ $# -le 1 ] || { echo "usage: scripts/release.sh [--only deb,exe,html] [COMMIT]" >&2; exit 2; }
wanted() { [[ ",$only," == *",$1,"* ]]; }

commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
version=$(git show "$commit:CMakeLists.txt" | sed -n 's/^project(t2tk VERSION \([0-9.]*\) .*/\1/p')
[ -n "$version" ] || { echo "release.sh: no project(VERSION) in $commit's CMakeLists.txt" >&2; exit 1; }
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "release.sh: building $commit; what is not committed is not in it" >&2
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
# Files get a mode from the tarball, and a build writes none that others
# may change, whatever the caller's umask.
umask 022
export TZ=UTC LC_ALL=C.UTF-8

out=$PWD/build/release-$version
tree=$PWD/build/release-tree/t2tk-$version
rm -rf "$out" "$PWD/build/release-tree"
mkdir -p "$out" "$(dirname "$tree")"
tarball=t2tk-$version.tar.gz
git archive --format=tar --prefix="t2tk-$version/" "$commit" | gzip -9n >"$out/$tarball"
tar -xzf "$out/$tarball" -C "$(dirname "$tree")"
artifacts=("$tarball")

# The page first: the package and the installer carry it.
"$tree/scripts/web.sh" build >/dev/null
if wanted html; then
  cp "$tree/build/web/t2tk.html" "$out/"
  artifacts+=(t2tk.html)
fi
if wanted deb; then
  deb=$("$tree/scripts/package.sh" | tail -n 1)
  cp "$deb" "$out/"
  artifacts+=("$(basename "$deb")")
fi
if wanted exe; then
  "$tree/scripts/install-deps.sh" windows
  cmake -S "$tree" -B "$tree/build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$tree/cmake/toolchains/mingw-w64-x86_64.cmake" -DT2TK_BUILD_GUI=ON \
        -DT2TK_BUILD_TESTS=OFF -DT2TK_BUILD_BENCHMARKS=OFF -DT2TK_WEB_PAGE="$tree/build/web/t2tk.html" \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$tree=." >/dev/null
  cmake --build "$tree/build/windows" --target installer >/dev/null
  cp "$tree/build/windows/t2tk-$version-win64.exe" "$out/"
  artifacts+=("t2tk-$version-win64.exe")
fi

(cd "$out" && sha256sum -- "${artifacts[@]}" >SHA256SUMS)
rm -rf "$PWD/build/release-tree"
echo "$out"
cat "$out/SHA256SUMS"
