#!/usr/bin/env bash
# t2tk-convert.exe in a console window of Wine's own, started from a batch
# file as at a command prompt, where its text goes to the console itself:
# each run's %ERRORLEVEL% must be its own status.
# Usage: console_test.sh T2TK-CONVERT.EXE CORPUS-FOLDER   (WINEPREFIX set, on an X server)
set -euo pipefail
convert=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A crash ends the program with its code instead of waiting in a debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"

cp "$convert" "$work/t2tk-convert.exe"
cp "$corpus/in-range.fxp" "$work/"
# Each row: the arguments, then the status expected.
rows=(
  "--version|0"
  "-o kit.mid in-range.fxp|0"
  "missing.fxp|1"
  "--program 51 in-range.fxp|2"
)
{
  echo '@echo off'
  echo "cd /d $(winepath -w "$work")"
  for row in "${rows[@]}"; do
    echo "t2tk-convert.exe ${row%|*}"
    echo ">>statuses.txt echo %ERRORLEVEL%"
  done
} | sed 's/$/\r/' >"$work/run.bat"
wineconsole cmd /c "$(winepath -w "$work/run.bat")" >/dev/null 2>&1 || true

mapfile -t statuses < <(tr -d '\r ' <"$work/statuses.txt" 2>/dev/null)
failures=0
for i in "${!rows[@]}"; do
  row=${rows[$i]}
  if [ "${statuses[$i]:-none}" = "${row#*|}" ]; then
    echo "ok: t2tk-convert.exe ${row%|*} ends with ${row#*|}"
  else
    echo "FAILED: t2tk-convert.exe ${row%|*} ends with ${statuses[$i]:-nothing}, not ${row#*|}"
    failures=$((failures + 1))
  fi
done
cmp -s "$work/kit.mid" "$corpus/in-range.mid" || { echo "FAILED: the conversion in the console wrote other bytes"; failures=$((failures + 1)); }
exit $((failures > 0))
