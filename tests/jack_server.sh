#!/usr/bin/env bash
# Starts or stops the JACK server the send tests and the benchmark use: the
# dummy driver, under the server name in JACK_DEFAULT_SERVER. A message goes
# out at the start of the next period: JACK_PERIOD frames at 48 kHz (default
# 128, 2.7 ms) bound how late it can be. The server waits for every client in
# each period (-S): without real-time priority a busy receiver, the dialog
# test's under the sanitizers, can miss a period, and asynchronously the
# messages of that period would be lost on the way.
# Usage: jack_server.sh start|stop
set -euo pipefail
: "${JACK_DEFAULT_SERVER:?set it to the server name}"
pidfile=${TMPDIR:-/tmp}/$JACK_DEFAULT_SERVER.pid
case "$1" in
  start)
    export JACK_NO_START_SERVER=1
    jackd -S -R -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "${JACK_PERIOD:-128}" >/dev/null 2>&1 &
    echo $! >"$pidfile"
    # Until it listens on the socket JACK makes for it, or has ended. (No
    # JACK client asks: under load a client's own opening or closing can hang.)
    socket=/dev/shm/jack_${JACK_DEFAULT_SERVER}_$(id -u)_0
    for _ in $(seq 6000); do
      [ -S "$socket" ] && exit 0
      kill -0 "$(cat "$pidfile")" 2>/dev/null || break
      sleep 0.01
    done
    echo "jack_server.sh: the JACK server did not start" >&2
    exit 1 ;;
  stop)
    # Waited for, so that the next start under the name finds it free.
    if [ -f "$pidfile" ]; then
      pid=$(cat "$pidfile")
      kill -CONT "$pid" 2>/dev/null || true
      kill "$pid" 2>/dev/null || true
      tail --pid="$pid" -f /dev/null
      rm -f "$pidfile"
    fi ;;
esac
