#!/usr/bin/env bash
# Unpacks the Debian package given into a temporary root and runs what it
# installed: t2tk-convert --version, and a conversion of the example presets;
# checks that the dialog, its desktop files and the web page in one file with
# its menu entry are there, the entry opening the page installed.
set -euo pipefail
deb=$1
examples=$(cd "$(dirname "$0")/../examples/presets" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg -x "$deb" "$root"
convert=$root/usr/bin/t2tk-convert
module=$(cd "$root" && ls usr/lib/*/t2tk/libt2tk-midi.so 2>/dev/null | head -n 1)
for file in usr/bin/t2tk usr/share/applications/org.t2tk.t2tk.desktop usr/share/man/man1/t2tk-convert.1.gz \
            usr/share/icons/hicolor/scalable/apps/t2tk.svg usr/share/metainfo/org.t2tk.t2tk.metainfo.xml usr/share/t2tk/t2tk.html \
            usr/share/applications/org.t2tk.t2tk-browser.desktop \
            "${module:-usr/lib/<multiarch>/t2tk/libt2tk-midi.so}"; do
  [ -e "$root/$file" ] || { echo "package_test: $file is missing" >&2; exit 1; }
done

grep -qx 'Exec=xdg-open /usr/share/t2tk/t2tk.html' "$root/usr/share/applications/org.t2tk.t2tk-browser.desktop" ||
  { echo "package_test: the page's menu entry does not open /usr/share/t2tk/t2tk.html" >&2; exit 1; }

version=$("$convert" --version)
expected="t2tk-convert $(dpkg-deb -f "$deb" Version)"
[ "$version" = "$expected" ] || { echo "package_test: '$version', not '$expected'" >&2; exit 1; }

"$convert" -o "$root/examples.mid" "$examples"/*.fxp >/dev/null
# The installed converter finds the installed MIDI module (there may be no
# ports here, but the module loads).
if "$convert" --list-ports 2>&1 | grep -q "cannot load the MIDI module"; then
  echo "package_test: the installed t2tk-convert cannot load its MIDI module" >&2
  exit 1
fi
count=$(ls "$examples"/*.fxp | wc -l)
size=$(stat -c %s "$root/examples.mid")
[ "$size" -eq $((73 + 3059 * count)) ] || { echo "package_test: examples.mid has $size bytes" >&2; exit 1; }
echo "package_test: $version converted $count example presets into $size bytes"
