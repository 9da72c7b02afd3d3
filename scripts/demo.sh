#!/usr/bin/env bash
# Installs what is missing, builds a Release in build/release and converts the
# bundled example presets into build/examples.mid.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DT2TK_BUILD_TESTS=OFF
cmake --build build/release

build/release/t2tk-convert --output build/examples.mid examples/presets/*.fxp >/dev/null
echo "$PWD/build/examples.mid"
