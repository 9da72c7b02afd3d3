#!/usr/bin/env bash
# t2tk-convert as a real process, where the process itself matters: exit
# statuses, signals, other users, standard output and the file system.
# Usage: cli_process_test.sh T2TK-CONVERT PRESET-FOLDER
set -uo pipefail
convert=$1
presets=$2
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
cp "$presets/rock-kit.fxp" a.fxp
failures=0

check() {  # check WHAT COMMAND...: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
no_temporary() { [ -z "$(find "${1:-.}" -name '.t2tk-*')" ]; }
old_output() { [ "$(cat "${1:-out.mid}")" = old ]; }

# Exit statuses, and standard output as the progress lines' place.
"$convert" -o out.mid a.fxp >progress 2>errors
check "converts with status 0" [ $? -eq 0 ]
check "progress lines on standard output" [ "$(cat progress)" = $'initreq\nstorereq 0' ]
"$convert" -p 0 a.fxp >/dev/null 2>&1
check "usage error: status 2" [ $? -eq 2 ]

# A MIDI stream on standard output, clean of the progress lines.
"$convert" -o - a.fxp 2>progress | cat >piped.mid
check "-o - writes the file to standard output" cmp -s piped.mid out.mid
check "-o - sends the progress lines to standard error" [ "$(cat progress)" = $'initreq\nstorereq 0' ]
"$convert" -o /dev/stdout a.fxp >redirected.mid 2>/dev/null
check "-o /dev/stdout writes where standard output goes" cmp -s redirected.mid out.mid

# Lines that cannot reach standard output are a failure.
if [ -e /dev/full ]; then
  "$convert" -o out.mid a.fxp >/dev/full 2>errors
  check "standard output full: status 1" [ $? -eq 1 ]
  check "standard output full: said" grep -q "cannot write standard output" errors
fi

# A write that fails partway leaves the old output whole.
echo old >out.mid
(ulimit -f 2; trap '' XFSZ; exec "$convert" -o out.mid a.fxp) >/dev/null 2>errors
check "file too large: status 1" [ $? -eq 1 ]
check "file too large: the old output stays" old_output
check "file too large: no temporary file" no_temporary

# A signal during the write takes the temporary file with it.
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  for signal in TERM INT HUP; do
    echo old >out.mid
    # A job started with & has SIGINT ignored, and an ignored signal stays ignored.
    env --default-signal=INT strace -o /dev/null -e trace=fsync -e inject=fsync:delay_enter=2s "$convert" -o out.mid a.fxp >/dev/null 2>&1 &
    tracer=$!
    for _ in $(seq 50); do
      target=$(pgrep -f -n "^$convert -o out.mid") && [ -n "$(find . -name '.t2tk-*')" ] && break
      sleep 0.05
    done
    kill -s "$signal" "$target"
    wait "$tracer"
    check "SIG$signal while writing: the old output stays" old_output
    check "SIG$signal while writing: no temporary file" no_temporary
  done
else
  echo "skipped: signals (strace cannot trace here)"
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: other users, /dev (not root)"
  exit $((failures > 0))
fi

# /dev/stdout as a link of the system: it stays a link, the data goes through.
if unshare -m true 2>/dev/null; then
  unshare -m sh -c 'mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd/1 /dev/stdout &&
                    "$0" -o /dev/stdout a.fxp >ns.mid 2>/dev/null && [ -L /dev/stdout ]' "$convert"
  check "/dev/stdout stays a link" [ $? -eq 0 ]
  check "/dev/stdout: the data reaches the redirected file" cmp -s ns.mid piped.mid
fi

# A link another user planted in a shared folder is not followed.
mkdir shared && chmod 1777 shared
echo old >victim
ln -s "$work/victim" shared/kit.mid && chown -h 65534:65534 shared/kit.mid
"$convert" -o shared/kit.mid a.fxp >/dev/null 2>errors
check "planted link: status 1" [ $? -eq 1 ]
check "planted link: refused" grep -q "will not follow \"shared/kit.mid\"" errors
check "planted link: its target untouched" old_output victim

# As another user than root: a read-only output and a folder without write permission.
if command -v setpriv >/dev/null; then
  cp "$convert" ./t2tk-convert && chmod 755 t2tk-convert && chmod 644 a.fxp
  as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups ./t2tk-convert "$@"; }
  echo old >out.mid && chmod 444 out.mid && chmod 777 .
  as_nobody -o out.mid a.fxp >/dev/null 2>errors
  check "read-only output: refused" grep -q "cannot write \"out.mid\": it is read-only" errors
  check "read-only output: untouched" old_output
  mkdir locked && chmod 755 locked
  as_nobody -o locked/out.mid a.fxp >/dev/null 2>errors
  check "locked folder: named" grep -q "cannot create a file in \"locked\": Permission denied" errors
  chmod 755 .
fi

exit $((failures > 0))
