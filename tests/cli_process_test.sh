#!/usr/bin/env bash
# t2tk-convert as a real process, where the process itself matters: exit
# statuses, signals, limits, other users, descriptors, pipes and the file
# system. Cases that need root say "skipped" without it.
# Usage: cli_process_test.sh T2TK-CONVERT PRESET-FOLDER FSYNC-HOLD-LIBRARY
set -uo pipefail
convert=$1
presets=$2
hold=$3
work=$(mktemp -d)
chmod 755 "$work"
trap 'chattr -R -a "$work" 2>/dev/null; chmod -R u+w "$work"; [ -n "${T2TK_KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
cp "$presets/rock-kit.fxp" a.fxp
failures=0

check() {  # check WHAT COMMAND...: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
no_temporary() { [ -z "$(find "${1:-.}" -name '.t2tk-*')" ]; }
old_output() { [ "$(cat "${1:-out.mid}")" = old ]; }
said() { grep -qF -- "$1" "${2:-errors}"; }
is_root() { [ "$(id -u)" -eq 0 ] || { echo "skipped: $1 (not root)"; return 1; }; }
can_trace() {
  command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null ||
    { echo "skipped: $1 (strace cannot trace here)"; return 1; }
}

# Exit statuses, and standard output as the progress lines' place.
"$convert" -o out.mid a.fxp >progress 2>errors
check "converts with status 0" [ $? -eq 0 ]
check "progress lines on standard output" [ "$(cat progress)" = $'initreq\nstorereq 0' ]
cp out.mid expected.mid
"$convert" -p 0 a.fxp >/dev/null 2>&1
check "usage error: status 2" [ $? -eq 2 ]

# Standard output and the process's other descriptors are written in place,
# whatever they are.
"$convert" -o - a.fxp 2>progress | cat >piped.mid
check "-o - writes the file to standard output" cmp -s piped.mid expected.mid
check "-o - sends the progress lines to standard error" [ "$(cat progress)" = $'initreq\nstorereq 0' ]
"$convert" -o /dev/stdout a.fxp >redirected.mid 2>/dev/null
check "-o /dev/stdout writes where standard output goes" cmp -s redirected.mid expected.mid
"$convert" -o >(cat >substituted.mid) a.fxp >/dev/null 2>errors
check "the shell's >( ): status 0" [ $? -eq 0 ]
wait $!
check "the shell's >( ): the file goes down the pipe" cmp -s substituted.mid expected.mid
exec 5<>unlinked.mid && rm unlinked.mid
"$convert" -o /dev/fd/5 a.fxp >/dev/null 2>errors
check "an unlinked file behind /dev/fd: written through the descriptor" [ "$(stat -L -c %s /dev/fd/5)" -eq 3132 ]
exec 5>&-
check "an unlinked file behind /dev/fd: no file made for it" [ -z "$(ls | grep -F deleted)" ]
python3 - "$convert" <<'PYTHON'
import os, subprocess, sys
memfd = os.memfd_create('kit')
status = subprocess.run([sys.argv[1], '-o', f'/proc/self/fd/{memfd}', 'a.fxp'], pass_fds=[memfd],
                        stdout=subprocess.DEVNULL).returncode
sys.exit(status != 0 or os.pread(memfd, 4096, 0) != open('expected.mid', 'rb').read())
PYTHON
check "a memfd behind /proc/self/fd: written through the descriptor" [ $? -eq 0 ]
check "a memfd: no file made for it" [ ! -e /memfd:kit ] && [ -z "$(ls | grep -F memfd)" ]
python3 - "$convert" <<'PYTHON'
import socket, subprocess, sys
mine, theirs = socket.socketpair()
status = subprocess.run([sys.argv[1], '-o', '/dev/stdout', 'a.fxp'], stdout=mine.fileno(),
                        stderr=subprocess.DEVNULL).returncode
mine.close()
sys.exit(status != 0 or b''.join(iter(lambda: theirs.recv(65536), b'')) != open('expected.mid', 'rb').read())
PYTHON
check "a socket as standard output" [ $? -eq 0 ]
# Standard output that is one of the presets would take the progress lines
# while it is read: refused before anything is read, whatever the options.
cp a.fxp q.fxp
"$convert" q.fxp 1<>q.fxp 2>errors
check "standard output that is a preset: refused" said 'will not overwrite preset "q.fxp": standard output goes to it'
"$convert" --send nowhere -o - a.fxp q.fxp 1<>q.fxp 2>errors
check "standard output that is a preset, with --send: status 1, before the port is looked for" \
      eval "[ $? -eq 1 ] && said 'will not overwrite preset \"q.fxp\": standard output goes to it'"
"$convert" --list --porcelain q.fxp >>q.fxp 2>errors
check "standard output that is a preset, with --list: status 1" \
      eval "[ $? -eq 1 ] && said 'will not overwrite preset \"q.fxp\": standard output goes to it, and the list would'"
check "standard output that is a preset: the preset stays, nothing written" eval 'cmp -s q.fxp a.fxp && [ ! -e q.mid ]'
# A file named by -o holds exactly the output afterwards, however it is
# reached; "-" writes on as cat does.
for through in through fd3 dash; do printf '%10000s' '' >$through.mid; done
"$convert" -o through.mid a.fxp 1<>through.mid 2>/dev/null
check "standard output that is the named file: cut to the output" cmp -s through.mid expected.mid
"$convert" -o /proc/self/fd/3 a.fxp 3<>fd3.mid >/dev/null 2>&1
check "a file behind /proc/self/fd: cut to the output" cmp -s fd3.mid expected.mid
"$convert" -o - a.fxp 1<>dash.mid 2>/dev/null
check "-o - into a longer file: written over its start, as cat does" [ "$(stat -c %s dash.mid)" -eq 10000 ]
"$convert" -o /dev/fd/3 a.fxp 3<expected.mid >/dev/null 2>errors
check "a descriptor open for reading only: said" said 'cannot write "/dev/fd/3": it is open for reading only'
"$convert" -o /proc/version a.fxp >/dev/null 2>errors
check "a file of /proc: written in place, and its own failure said" said 'cannot write "/proc/version": '
setsid -w "$convert" -o /dev/tty a.fxp >/dev/null 2>errors
check "no terminal behind /dev/tty: said so" said 'cannot write "/dev/tty": No such device or address'

# A path longer than the system takes at once is walked a folder at a time;
# a refused one is named shortened in its middle, and the reason follows.
long=$work
while [ ${#long} -lt 5000 ]; do long=$long/$(printf 'd%.0s' $(seq 200)); done
mkdir -p "$long" && "$convert" -o "$long/a.mid" a.fxp >/dev/null 2>errors
check "a path of ${#long} bytes" [ -n "$(find "$work"/ddd* -name a.mid -execdir cmp -s {} "$work/expected.mid" \; -print)" ]
"$convert" -o "$long/gone/a.mid" a.fxp >/dev/null 2>errors
check "a long path refused: shortened, with the reason" \
      eval 'said "cannot create a file in \"$work/ddd" && said "ddd…ddd" && said "ddd/gone\": No such file or directory" &&
            [ "$(wc -c <errors)" -lt 500 ]'

# A write that fails partway leaves the old output whole, and a size limit is
# an error, not a death.
echo old >out.mid
(ulimit -f 2; exec "$convert" -o out.mid a.fxp) >/dev/null 2>errors
check "file too large: status 1" [ $? -eq 1 ]
check "file too large: said" said 'cannot write "out.mid": File too large'
check "file too large: the old output stays" old_output
check "file too large: no temporary file" no_temporary

# Another name of the output keeps the old content, and is said.
echo old >linked.mid && ln linked.mid other-name.mid
"$convert" -o linked.mid a.fxp >/dev/null 2>errors
check "a hard-linked output: written, and said" \
      eval 'cmp -s linked.mid expected.mid && said "warning: wrote \"linked.mid\", which had 2 names; the others keep the old content"'
check "a hard-linked output: the other name keeps the old content" old_output other-name.mid

# Every signal that ends the process takes the temporary file with it, and
# the temporary file and the rename stay in the folder wherever it goes: all
# at once, each in a folder of its own, while the write is held in one of its
# calls (a library of the tests holds it there until the check has acted):
# its fsync, or the moment the temporary file has been made. A signal the
# caller ignores stays ignored. What the writer opens must be what it found.
held() {  # held NAME CALL OUTPUT [env OPTION] COMMAND...: COMMAND runs while CALL is held; $converter is its pid
  local name=$1 call=$2 output=$3; shift 3
  local signals=--default-signal
  [ "$1" = env ] && { signals=$2; shift 2; }
  mkdir "$name.hold" && mkfifo "$name.hold/held" "$name.hold/go"
  (T2TK_HOLD=$work/$name.hold T2TK_HOLD_AT=$call LD_PRELOAD=$hold \
       ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
       env "$signals" "$convert" -o "$output" a.fxp >/dev/null 2>"$name.errors" &
   export converter=$!
   # The line comes once the call is held; the time limit only keeps a broken
   # check from hanging the suite.
   timeout 120 sh -c 'read -r _ <"$0"' "$name.hold/held" || kill -KILL "$converter"
   "$@"
   { echo go >&3; } 3<>"$name.hold/go"  # opened both ways: never waits for a reader
   wait "$converter" 2>/dev/null
   echo $? >"$name.status") 2>/dev/null &
}
while_writing() {  # while_writing FOLDER CALL [env OPTION] COMMAND...: FOLDER/out.mid, "old" before
  local folder=$1 call=$2; shift 2
  mkdir "$folder" && echo old >"$folder/out.mid"
  held "$folder" "$call" "$folder/out.mid" "$@"
}
signals=(HUP INT QUIT PIPE ALRM TERM USR1 USR2 XCPU VTALRM RTMIN RTMAX)
faults=(ABRT SEGV BUS TRAP SYS)
for signal in "${signals[@]}"; do
  while_writing "sig-$signal" fsync sh -c 'kill -s "$0" "$converter"' "$signal"
done
for signal in "${faults[@]}" TERM; do
  while_writing "made-$signal" "after-open .t2tk-" sh -c 'kill -s "$0" "$converter"' "$signal"
done
# Until it has its group, the temporary file is its owner's alone: one opened
# meanwhile under the folder's group (setgid) would keep reading it.
mkdir made-mode && echo old >made-mode/out.mid && chmod 664 made-mode/out.mid
held made-mode "after-open .t2tk-" made-mode/out.mid sh -c 'stat -c %a "$0"/.t2tk-* >"$0.mode"' made-mode
while_writing ignored fsync env --ignore-signal=HUP sh -c 'kill -s HUP "$converter"'
while_writing killed fsync sh -c 'kill -s KILL "$converter"'
while_writing kits fsync mv kits renamed
mkfifo swapped.fifo
held swapped "before-open swapped.fifo" swapped.fifo sh -c 'rm swapped.fifo && echo old >swapped.fifo'
mkdir swapped-folder && echo old >elsewhere.mid
held swapped-folder "before-open swapped-folder" swapped-folder/out.mid \
     sh -c 'mv swapped-folder moved && mkdir other && ln -s other swapped-folder'
wait
for signal in "${signals[@]}"; do
  check "SIG$signal while writing: the old output stays, no temporary file" \
        eval 'old_output sig-$signal/out.mid && no_temporary sig-$signal'
done
for signal in "${faults[@]}" TERM; do
  check "SIG$signal as the temporary file is made: the old output stays, no temporary file" \
        eval 'old_output made-$signal/out.mid && no_temporary made-$signal'
done
check "a replacement's temporary file: its owner's alone until it has its group" [ "$(cat made-mode.mode)" = 600 ]
check "a replacement: the old file's permissions" [ "$(stat -c %a made-mode/out.mid)" = 664 ]
check "an ignored signal while writing: the file is written" cmp -s ignored/out.mid expected.mid
# Nothing takes the temporary file away on SIGKILL; the next write into the
# folder does, and only ours of a process that is gone.
check "SIGKILL while writing: the old output stays" old_output killed/out.mid
touch "killed/.t2tk-$$-abcdef"  # this shell's
"$convert" -o killed/out.mid a.fxp >/dev/null 2>&1
check "SIGKILL while writing: the next write there takes the temporary file" \
      [ "$(ls -A killed | tr '\n' ' ')" = ".t2tk-$$-abcdef out.mid " ]
rm "killed/.t2tk-$$-abcdef"
check "a folder renamed while writing: the file is written in it" cmp -s renamed/out.mid expected.mid
check "a folder renamed while writing: no temporary file" no_temporary renamed
check "a FIFO swapped for a file before it is opened: refused" said 'cannot write "swapped.fifo": it changed while it was being opened' swapped.errors
check "a FIFO swapped for a file: the file untouched" old_output swapped.fifo
check "a folder swapped for a link on the way: refused" said 'cannot write "swapped-folder": it changed while it was being opened' swapped-folder.errors
check "a folder swapped for a link: nothing written" [ -z "$(ls other)" ]

if can_trace "a folder that cannot be flushed"; then
  strace -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=2 "$convert" -o flushed.mid a.fxp \
      >/dev/null 2>errors
  check "a folder that cannot be flushed: status 1" [ $? -eq 1 ]
  check "a folder that cannot be flushed: said" said 'wrote "flushed.mid", but its folder could not be flushed'
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
      strace -o /dev/null -e trace=fsync -e inject=fsync:error=EINVAL "$convert" -o unflushable.mid a.fxp >/dev/null 2>errors
  check "a file system without fsync: status 0" [ $? -eq 0 ]
  check "a file system without fsync: said once" \
        [ "$(grep -c 'wrote "unflushable.mid", but its file system cannot flush it to disk (Invalid argument)' errors)" = 1 ]
  mkdir stuck
  (ulimit -f 2; exec strace -o /dev/null -e trace=unlinkat -e inject=unlinkat:error=EIO "$convert" -o stuck/out.mid a.fxp) \
      >/dev/null 2>errors
  check "a temporary file that cannot be removed: named" \
        eval 'said "File too large; the temporary file \"stuck/.t2tk-" && said "could not be removed (Input/output error)"'
  "$convert" -o stuck/out.mid a.fxp >/dev/null 2>&1
  check "a temporary file left by a process that is gone: the next write there takes it" no_temporary stuck
  # An attribute of the replaced file that cannot be kept keeps the file.
  echo old >tagged.mid
  if python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.tag", b"kit")' tagged.mid 2>/dev/null; then
    strace -o /dev/null -e trace=fsetxattr -e inject=fsetxattr:error=ENOSPC "$convert" -o tagged.mid a.fxp \
        >/dev/null 2>errors
    check "an attribute that cannot be kept: said" said 'cannot write "tagged.mid": its extended attribute "user.tag" cannot be kept (No space left on device); the file is left as it was'
    check "an attribute that cannot be kept: the old file stays" eval 'old_output tagged.mid && no_temporary'
  fi
fi

# A standard output left non-blocking by whoever made it, and full: the
# converter waits for its reader.
python3 - "$convert" "$presets" <<'PYTHON'
import fcntl, os, subprocess, sys
read, write = os.pipe()
fcntl.fcntl(write, fcntl.F_SETFL, fcntl.fcntl(write, fcntl.F_GETFL) | os.O_NONBLOCK)
names = [os.path.join(sys.argv[2], 'rock-kit.fxp')] * 50  # some 150 KB, more than a pipe holds
converter = subprocess.Popen([sys.argv[1], '-o', '-'] + names, stdout=write, stderr=subprocess.DEVNULL)
os.close(write)
data = b''.join(iter(lambda: os.read(read, 65536), b''))
sys.exit(converter.wait() != 0 or len(data) != 73 + 3059 * 50)
PYTHON
check "a full non-blocking standard output: waited for" [ $? -eq 0 ]

is_root "links, groups and folders of other users; append-only folders" || exit $((failures > 0))

# /dev/stdout as a link of the system: it stays a link, the data goes through.
if unshare -m true 2>/dev/null; then
  unshare -m sh -c 'mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd/1 /dev/stdout &&
                    "$0" -o /dev/stdout a.fxp >ns.mid 2>/dev/null && [ -L /dev/stdout ]' "$convert"
  check "/dev/stdout stays a link" [ $? -eq 0 ]
  check "/dev/stdout: the data reaches the redirected file" cmp -s ns.mid piped.mid
fi

# A link another user planted in a shared folder is not followed, at the end
# of the path or on the way.
mkdir shared victim && chmod 1777 shared
echo old >victim/out.mid
ln -s "$work/victim/out.mid" shared/kit.mid && chown -h 65534:65534 shared/kit.mid
ln -s "$work/victim" shared/kits && chown -h 65534:65534 shared/kits
"$convert" -o shared/kit.mid a.fxp >/dev/null 2>errors
check "planted link: refused" said 'will not follow "shared/kit.mid"'
"$convert" -o shared/kits/out.mid a.fxp >/dev/null 2>errors
check "planted link on the way: refused" said 'will not follow "shared/kits"'
check "planted links: their target untouched" old_output victim/out.mid
# A link the shared folder's owner made is that owner's to make: followed.
mkdir owned && chmod 1777 owned && chown 65534:65534 owned
ln -s "$work/victim/out.mid" owned/kit.mid && chown -h 65534:65534 owned/kit.mid
"$convert" -o owned/kit.mid a.fxp >/dev/null 2>errors
check "a link of the shared folder's owner: followed" cmp -s victim/out.mid expected.mid
check "a link of the shared folder's owner: still a link" [ -L owned/kit.mid ]

# A file another user put in a shared folder is not replaced, as the
# kernel's protected_regular refuses to open it for creating; one of the
# folder's owner is.
echo old >shared/theirs.mid && chown 65534 shared/theirs.mid && chmod 666 shared/theirs.mid
"$convert" -o shared/theirs.mid a.fxp >/dev/null 2>errors
check "another user's file in a shared folder: refused, and whose it is said" \
      said 'will not replace "shared/theirs.mid": it belongs to another user, nobody (65534), in a shared folder'
check "another user's file in a shared folder: untouched" old_output shared/theirs.mid
mkfifo -m 666 shared/theirs.fifo && chown 65534 shared/theirs.fifo
(exec 3<>shared/theirs.fifo; "$convert" -o shared/theirs.fifo a.fxp >/dev/null 2>errors)
check "another user's pipe in a shared folder: refused, though read" \
      said 'will not write into "shared/theirs.fifo": it is a pipe of another user, nobody (65534), in a shared folder'
mkdir group-shared && chmod 1770 group-shared
echo old >group-shared/theirs.mid && chown 65534 group-shared/theirs.mid
"$convert" -o group-shared/theirs.mid a.fxp >/dev/null 2>errors
check "another user's file in a folder its group shares: refused" \
      said 'will not replace "group-shared/theirs.mid": it belongs to another user, nobody (65534), in a shared folder'
echo old >owned/out.mid && chown 65534 owned/out.mid
"$convert" -o owned/out.mid a.fxp >/dev/null 2>errors
check "a file of the shared folder's owner: replaced, still theirs" \
      eval 'cmp -s owned/out.mid expected.mid && [ "$(stat -c %u owned/out.mid)" = 65534 ]'

# Read-only is what the permission bits say, for root too.
echo old >ro.mid && chmod 444 ro.mid
"$convert" -o ro.mid a.fxp >/dev/null 2>errors
check "read-only output, for root too: refused" said 'cannot write "ro.mid": it is read-only'
check "read-only output, for root too: untouched" old_output ro.mid
for mode in 464 446; do  # writable by its group or by others alone: not read-only
  echo old >"rw$mode.mid" && chmod "$mode" "rw$mode.mid"
  "$convert" -o "rw$mode.mid" a.fxp >/dev/null 2>errors
  check "mode $mode output, for root: replaced" cmp -s "rw$mode.mid" expected.mid
done

# Such a folder takes files in but never lets one be renamed or removed.
if mkdir appending && chattr +a appending 2>/dev/null; then
  "$convert" -o appending/out.mid a.fxp >/dev/null 2>errors
  check "append-only folder: refused" said 'cannot create a file in "appending": it is append-only'
  check "append-only folder: nothing left in it" [ -z "$(ls -A appending)" ]
else
  echo "skipped: append-only folder (the file system has no such flag)"
fi

# As another user than root: a read-only output, a folder without write
# permission, and a replaced file that keeps its group.
cp "$convert" ./t2tk-convert && chmod 755 t2tk-convert && chmod 644 a.fxp
as_nobody() { setpriv --reuid=65534 --regid=65534 --groups=100 ./t2tk-convert "$@"; }
echo old >out.mid && chmod 444 out.mid && chmod 777 .
as_nobody -o out.mid a.fxp >/dev/null 2>errors
check "read-only output: refused" said 'cannot write "out.mid": it is read-only'
check "read-only output: untouched" old_output
mkdir locked && chmod 755 locked
as_nobody -o locked/out.mid a.fxp >/dev/null 2>errors
check "locked folder: named" said 'cannot create a file in "locked": Permission denied'
# A folder its user may write in but not read: written, and said that it
# could not be flushed; append-only as well, refused without reading it.
mkdir unreadable && chown 65534 unreadable && chmod 0333 unreadable
as_nobody -o unreadable/out.mid a.fxp >/dev/null 2>errors
check "a folder its user cannot read: written" [ -s unreadable/out.mid ]
check "a folder its user cannot read: said it could not be flushed" \
      said 'warning: wrote "unreadable/out.mid", but its folder could not be flushed to disk (Permission denied)'
if mkdir hidden-log && chown 65534 hidden-log && chmod 0300 hidden-log && chattr +a hidden-log 2>/dev/null; then
  as_nobody -o hidden-log/out.mid a.fxp >/dev/null 2>errors
  check "an append-only folder its user cannot read: refused" said 'cannot create a file in "hidden-log": it is append-only'
  check "an append-only folder its user cannot read: nothing left in it" [ -z "$(ls -A hidden-log)" ]
fi
echo old >group.mid && chown 65534:100 group.mid && chmod 660 group.mid
as_nobody -o group.mid a.fxp >/dev/null 2>&1
check "a replaced file keeps its group and permissions" [ "$(stat -c '%u:%g %a' group.mid)" = "65534:100 660" ]
echo old >root-group.mid && chown 65534:0 root-group.mid && chmod 664 root-group.mid
as_nobody -o root-group.mid a.fxp >/dev/null 2>&1
check "a group the user is not in: the user's own gets no more than others had" \
      [ "$(stat -c '%u:%g %a' root-group.mid)" = "65534:65534 644" ]
chmod 755 .

exit $((failures > 0))
