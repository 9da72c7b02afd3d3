#!/usr/bin/env bash
# Installs the Windows installer silently under Wine, runs what it installed,
# checks the "Open with" entry, installs and uninstalls while t2tk runs (both
# refused, the install kept), uninstalls, and checks that nothing stays.
# Usage: installer_test.sh INSTALLER VERSION CORPUS-FOLDER WHILE-RUNNING-EXE
#        (WINEPREFIX set, on an X server)
set -euo pipefail
installer=$1
expected_version=$2
corpus=$3
while_running=$4
target='C:\t2tk-installer-test'
folder=$WINEPREFIX/drive_c/t2tk-installer-test
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "installer_test: $*" >&2; exit 1; }

# Sharp on a high-DPI screen: the installer says it scales itself.
grep -aq 'dpiAware' "$installer" || fail "the installer declares no DPI awareness"

wine "$installer" /S "/D=$target"  # returns when it is done
for file in t2tk.exe t2tk-convert.exe LICENSE.txt t2tk.html uninstall.exe; do
  [ -f "$folder/$file" ] || fail "$file is not installed"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
[ -f "$menu/t2tk.lnk" ] || fail "no Start-menu entry"
[ -f "$menu/t2tk in the browser.lnk" ] || fail "no Start-menu entry for the web page"
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

# While t2tk runs, neither the installer nor the uninstaller replaces a thing:
# a silent run fails, and the install stays as it was and works.
before=$(sha256sum "$folder/t2tk.exe" "$folder/t2tk-convert.exe")
touch -d '2000-01-01' "$folder/t2tk.exe"
status=0
wine "$while_running" "$folder/t2tk.exe" "$installer" /S "/D=$target" || status=$?
[ "$status" -eq 2 ] || fail "a silent install while t2tk runs ends with $status, not 2"
[ "$(stat -c %Y "$folder/t2tk.exe")" = "$(date -d 2000-01-01 +%s)" ] || fail "the install while t2tk runs wrote t2tk.exe"
status=0
wine "$while_running" "$folder/t2tk.exe" "$folder/uninstall.exe" /S "_?=$target" || status=$?
[ "$status" -eq 2 ] || fail "a silent uninstall while t2tk runs ends with $status, not 2"
[ "$(sha256sum "$folder/t2tk.exe" "$folder/t2tk-convert.exe")" = "$before" ] || fail "the refused runs changed the programs"
[ -f "$folder/t2tk.html" ] || fail "the refused uninstall removed files"
[ "$(wine "$folder/t2tk-convert.exe" --version | tr -d '\r')" = "t2tk-convert $expected_version" ] ||
  fail "the install does not work after the refused runs"

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
[ ! -e "$menu/t2tk.lnk" ] || fail "the Start-menu entry stays"
[ ! -e "$menu/t2tk in the browser.lnk" ] || fail "the web page's Start-menu entry stays"
! wine reg query 'HKLM\Software\Classes\.fxp\OpenWithList\t2tk.exe' >/dev/null 2>&1 || fail "Open with entry stays"
echo "installer_test: installed, converted as on Linux, uninstalled"
