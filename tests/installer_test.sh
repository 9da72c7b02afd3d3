#!/usr/bin/env bash
# Installs the Windows installer silently under Wine, runs what it installed,
# checks the "Open with" entry, installs and uninstalls while t2tk runs or a
# file of the install is held (each refused, exit code 2, the install as it
# was), moves the install, uninstalls, and upgrades over t2tk 1.1.0 (a
# stand-in of its installer, whose programs hold no mutex): refused while its
# t2tk runs, every file new once it has ended.
# Usage: installer_test.sh WINDOWS-BUILD-FOLDER PAGE   (WINEPREFIX set, on an X server)
set -euo pipefail
build=$(cd "$1" && pwd)
page=$2
source=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
installer=$build/t2tk-$version-win64.exe
while_running=$build/tests/support/while_running.exe
standin=$build/tests/support/t2tk-1.1.0-standin.exe
target='C:\t2tk-installer-test'
folder=$WINEPREFIX/drive_c/t2tk-installer-test
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "installer_test: $*" >&2; exit 1; }
files=(t2tk.exe t2tk-convert.exe LICENSE.txt t2tk.html uninstall.exe)
snapshot() { (cd "$1" && sha256sum -- * && stat -c '%n %Y' -- *); }
# The uninstaller and its folder go a moment after it ends, taken away by a
# copy of it that waits for it to end.
gone() {
  for _ in $(seq 100); do
    [ -e "$1" ] || return 0
    sleep 0.2
  done
  return 1
}
# A string of a program's version resource, e.g. OriginalFilename.
resource() {
  python3 - "$1" "$2" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
key = sys.argv[2].encode('utf-16-le') + b'\0\0'
found = data.find(key)
value = end = (found + len(key) + 3) & ~3  # the value starts on a 4-byte boundary
while found >= 0 and data[end:end + 2] != b'\0\0':
    end += 2
print(data[value:end].decode('utf-16-le') if found >= 0 else '')
EOF
}

# Sharp on a high-DPI screen: the installer says it scales itself.
grep -aq 'dpiAware' "$installer" || fail "the installer declares no DPI awareness"
[ "$(resource "$installer" OriginalFilename)" = "t2tk-$version-win64.exe" ] || fail "the installer's OriginalFilename"
[ "$(resource "$build/uninstall.exe" OriginalFilename)" = uninstall.exe ] ||
  fail "the uninstaller's OriginalFilename is '$(resource "$build/uninstall.exe" OriginalFilename)'"

wine "$installer" /S "/D=$target"  # returns when it is done
for file in "${files[@]}"; do
  [ -f "$folder/$file" ] || fail "$file is not installed"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
[ -f "$menu/t2tk.lnk" ] || fail "no Start-menu entry"
[ -f "$menu/t2tk in the browser.lnk" ] || fail "no Start-menu entry for the web page"
wine reg query 'HKLM\Software\Classes\.fxp\OpenWithList\t2tk.exe' >/dev/null 2>&1 || fail "no Open with entry"
if wine reg query 'HKLM\Software\Classes\.fxp' /ve 2>/dev/null | grep REG_SZ | grep -qv 'value not set'; then
  fail "the .fxp default was taken over"
fi
quiet=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk' /v QuietUninstallString |
        tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ "$quiet" = "\"$target\\uninstall.exe\" /S" ] || fail "the quiet uninstall string is '$quiet'"

version_said=$(wine "$folder/t2tk-convert.exe" --version | tr -d '\r')
[ "$version_said" = "t2tk-convert $version" ] || fail "installed t2tk-convert says '$version_said'"
cp "$source/tests/corpus/in-range.fxp" "$work/"
(cd "$work" && wine "$folder/t2tk-convert.exe" -o in-range.mid in-range.fxp >/dev/null)
cmp "$work/in-range.mid" "$source/tests/corpus/in-range.mid" || fail "the installed converter writes other bytes than Linux"

# While t2tk runs, or another program holds a file of the install, neither
# the installer nor the uninstaller (the plain "/S" the README and the quiet
# uninstall string give) changes a thing: each silent run ends with 2.
touch -d '2000-01-01' "$folder"/*
before=$(snapshot "$folder")
refused() {  # refused WHAT COMMAND...
  local what=$1 status=0
  shift
  "$@" || status=$?
  [ "$status" -eq 2 ] || fail "$what ends with $status, not 2"
  [ "$(snapshot "$folder")" = "$before" ] || fail "$what changed the install"
}
refused "a silent install while t2tk runs" wine "$while_running" "$folder/t2tk.exe" "$installer" /S "/D=$target"
refused "a silent uninstall while t2tk runs" wine "$while_running" "$folder/t2tk.exe" "$folder/uninstall.exe" /S
# The page is written after both programs, which are then put back.
refused "a silent install while t2tk.html is held" \
  wine "$while_running" --hold "$folder/t2tk.html" "$installer" /S "/D=$target"
refused "a silent uninstall while t2tk-convert.exe is held" \
  wine "$while_running" --hold "$folder/t2tk-convert.exe" "$folder/uninstall.exe" /S
[ "$(wine "$folder/t2tk-convert.exe" --version | tr -d '\r')" = "t2tk-convert $version" ] ||
  fail "the install does not work after the refused runs"

# Installing into another folder moves the install there: the first folder
# goes, and one entry lists the one install.
moved='C:\t2tk-installer-moved'
moved_folder=$WINEPREFIX/drive_c/t2tk-installer-moved
wine "$installer" /S "/D=$moved"
[ ! -e "$folder" ] || fail "$folder stays after installing into another folder"
[ -f "$moved_folder/t2tk.exe" ] || fail "t2tk.exe is not in the new folder"
location=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk' /v InstallLocation |
           tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ "$location" = "$moved" ] || fail "the uninstall entry names '$location', not '$moved'"

wine "$moved_folder/uninstall.exe" /S
for file in "${files[@]}"; do
  [ "$file" = uninstall.exe ] || [ ! -e "$moved_folder/$file" ] || fail "$file stays after the uninstaller ended"
done
[ ! -e "$menu/t2tk.lnk" ] || fail "the Start-menu entry stays"
[ ! -e "$menu/t2tk in the browser.lnk" ] || fail "the web page's Start-menu entry stays"
! wine reg query 'HKLM\Software\Classes\.fxp\OpenWithList\t2tk.exe' >/dev/null 2>&1 || fail "Open with entry stays"
gone "$moved_folder" || fail "$moved_folder is still there after uninstalling"

# Over t2tk 1.1.0: refused while its t2tk runs, though it holds no mutex;
# once it has ended, every file is this version's.
wine "$standin" "/D=$target"
before=$(snapshot "$folder")
for program in t2tk.exe t2tk-convert.exe; do
  refused "a silent install while $program of 1.1.0 runs" \
    wine "$while_running" "$folder/$program" "$installer" /S "/D=$target"
done
wine "$installer" /S "/D=$target"
for file in "${files[@]}"; do
  case $file in
    LICENSE.txt) new=$source/LICENSE ;;
    t2tk.html) new=$page ;;
    *) new=$build/$file ;;
  esac
  cmp -s "$folder/$file" "$new" || fail "$file is not this version's after the upgrade from 1.1.0"
done
wine "$folder/uninstall.exe" /S
gone "$folder" || fail "$folder is still there after uninstalling"
echo "installer_test: installed, converted as on Linux, refused while t2tk ran, upgraded 1.1.0, uninstalled"
