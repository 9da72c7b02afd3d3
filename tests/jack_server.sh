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
    jackd -S --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "${JACK_PERIOD:-128}" >/dev/null 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
      jack_lsp >/dev/null 2>&1 && exit 0
      sleep 0.1
    done
    echo "jack_server.sh: the JACK server did not start" >&2
    exit 1 ;;
  stop)
    # The server ends on its own time; the name is this build's, and the next
    # start, in a later run, finds it free.
    if [ -f "$pidfile" ]; then
      kill "$(cat "$pidfile")" 2>/dev/null || true
      rm -f "$pidfile"
    fi ;;
esac
