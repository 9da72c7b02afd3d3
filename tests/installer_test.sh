#!/usr/bin/env bash
# Installs the Windows installer silently under Wine, runs what it installed,
# checks the "Open with" entry, uninstalls, and checks that nothing stays.
# Usage: installer_test.sh INSTALLER VERSION CORPUS-FOLDER   (WINEPREFIX set)
set -euo pipefail
installer=$1
expected_version=$2
corpus=$3
target='C:\t2tk-installer-test'
folder=$WINEPREFIX/drive_c/t2tk-installer-test
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "installer_test: $*" >&2; exit 1; }

wine "$installer" /S "/D=$target"  # returns when it is done
for file in t2tk.exe t2tk-convert.exe LICENSE.txt uninstall.exe; do
  [ -f "$folder/$file" ] || fail "$file is not installed"
done
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/t2tk.lnk" ] || fail "no Start-menu entry"
wine reg query 'HKLM\Software\Classes\.fxp\OpenWithList\t2tk.exe' >/dev/null 2>&1 || fail "no Open with entry"
if wine reg query 'HKLM\Software\Classes\.fxp' /ve 2>/dev/null | grep REG_SZ | grep -qv 'value not set'; then
  fail "the .fxp default was taken over"
fi

version=$(wine "$folder/t2tk-convert.exe" --version | tr -d '\r')
[ "$version" = "t2tk-convert $expected_version" ] ||
  fail "installed t2tk-convert says '$version'"
cp "$corpus/in-range.fxp" "$work/"
(cd "$work" && wine "$folder/t2tk-convert.exe" -o in-range.mid in-range.fxp >/dev/null)
cmp "$work/in-range.mid" "$corpus/in-range.mid" || fail "the installed converter writes other bytes than Linux"

gone() {  # the uninstaller runs on from a copy of itself, so that it can remove itself
  for _ in $(seq 100); do
    [ -e "$1" ] || return 0
    sleep 0.2
  done
  return 1
}

# Installing into another folder moves the install there: the first folder
# goes, and one entry lists the one install.
moved='C:\t2tk-installer-moved'
moved_folder=$WINEPREFIX/drive_c/t2tk-installer-moved
wine "$installer" /S "/D=$moved"
gone "$folder" || fail "$folder stays after installing into another folder"
[ -f "$moved_folder/t2tk.exe" ] || fail "t2tk.exe is not in the new folder"
location=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\t2tk' /v InstallLocation |
           tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ "$location" = "$moved" ] || fail "the uninstall entry names '$location', not '$moved'"

wine "$moved_folder/uninstall.exe" /S
gone "$moved_folder" || fail "$moved_folder is still there after uninstalling"
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/t2tk.lnk" ] || fail "the Start-menu entry stays"
! wine reg query 'HKLM\Software\Classes\.fxp\OpenWithList\t2tk.exe' >/dev/null 2>&1 || fail "Open with entry stays"
echo "installer_test: installed, converted as on Linux, uninstalled"
