#!/usr/bin/env bash
# Builds the Debian package build/package/t2tk_<version>_<arch>.deb with
# Debian's hardening flags, checks it with lintian and the desktop validators,
# and tries it installed into a temporary root.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package
scripts/web.sh build >/dev/null  # the page in one file goes into the package too
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DT2TK_BUILD_TESTS=OFF \
      -DT2TK_BUILD_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DT2TK_WEB_PAGE="$PWD/build/web/t2tk.html" \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null

# The version lives in project(VERSION) alone; the changelog and the AppStream
# data each name it in their newest entry, written by hand.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
changelog=$(dpkg-parsechangelog -l res/debian/changelog -S Version)
appstream=$(grep -o -m 1 '<release version="[^"]*"' res/appdata/org.t2tk.t2tk.metainfo.xml | cut -d '"' -f 2)
stale=0
[ "$changelog" = "$version" ] || { echo "package.sh: res/debian/changelog's newest entry is $changelog, not $version" >&2; stale=1; }
[ "$appstream" = "$version" ] ||
  { echo "package.sh: res/appdata/org.t2tk.t2tk.metainfo.xml's newest release is $appstream, not $version" >&2; stale=1; }
[ $stale -eq 0 ] || exit 1

cmake --build build/package
rm -f build/package/*.deb
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls build/package/t2tk_*.deb)

desktop-file-validate res/org.t2tk.t2tk.desktop build/package/generated/org.t2tk.t2tk-browser.desktop
appstreamcli validate --no-net res/appdata/org.t2tk.t2tk.metainfo.xml
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb"
tests/package_test.sh "$deb"
echo "$PWD/$deb"
