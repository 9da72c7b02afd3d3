#!/usr/bin/env bash
# Installs what is missing, builds the web page into build/web/page/ (index.html
# beside its CSS, JavaScript and WebAssembly, and nothing else) and the page
# in one file, build/web/t2tk.html, and serves the folder on
# http://localhost:8080, or on the port in PORT: localhost is a secure context,
# where browsers offer Web MIDI. "scripts/web.sh build" only builds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh web
export NODE_PATH=/usr/share/nodejs  # Debian's emscripten finds acorn there
# Emscripten builds its own libraries once, into a cache it can write.
[ -w /usr/share/emscripten/cache ] || export EM_CACHE=$PWD/build/emscripten-cache
emcmake cmake -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DT2TK_BUILD_TESTS=OFF \
        -DT2TK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/web
[ "${1:-}" = build ] && exit 0

port=${PORT:-8080}
if ! python3 -c 'import socket, sys; socket.socket().bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null; then
  echo "web.sh: port $port is taken (another server?); choose another with PORT=8081 scripts/web.sh" >&2
  exit 1
fi
echo "t2tk in the browser: http://localhost:$port/"
exec python3 -m http.server --bind 127.0.0.1 --directory build/web/page "$port"
