#!/usr/bin/env bash
# Makes the release of HEAD twice (scripts/release.sh, each time in a clean
# tree) and checks that each artifact is the same bytes both times.
# Usage: tests/release_test.sh [--only deb,exe,html]
set -euo pipefail
cd "$(dirname "$0")/.."
first=$(mktemp)
trap 'rm -f "$first"' EXIT
out=$(scripts/release.sh "$@" | sed -n 1p)
cp "$out/SHA256SUMS" "$first"
scripts/release.sh "$@" >/dev/null
if ! diff "$first" "$out/SHA256SUMS"; then
  echo "release_test: the artifacts above differ between two builds of one commit" >&2
  exit 1
fi
echo "release_test: $(wc -l <"$first") artifacts the same twice: $(cut -d ' ' -f 3 "$first" | tr '\n' ' ')"
