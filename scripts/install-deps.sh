#!/usr/bin/env bash
# Installs the Debian packages a task needs, skipping those already installed.
# Usage: scripts/install-deps.sh build|test|bench|lint|package|windows|screenshot|web|busy ...
set -euo pipefail

packages=()
for task in "$@"; do
  case "$task" in
    build)   packages+=(cmake ninja-build g++ pkg-config libcli11-dev qt6-base-dev librtmidi-dev libjack-jackd2-dev) ;;
    test)    packages+=(cmake ninja-build g++ pkg-config libcli11-dev qt6-base-dev qt6-base-private-dev librtmidi-dev libjack-jackd2-dev
                        googletest libgtest-dev clang libclang-rt-14-dev strace xvfb xauth jackd2 python3) ;;
    bench)   packages+=(cmake ninja-build g++ pkg-config libcli11-dev qt6-base-dev librtmidi-dev libjack-jackd2-dev libbenchmark-dev
                        time python3 jackd2) ;;
    lint)    packages+=(clang-tidy cppcheck) ;;
    windows) packages+=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest libcli11-dev nsis
                        xvfb xauth) ;;
    screenshot) packages+=(xvfb xauth imagemagick) ;;
    busy)    packages+=(stress-ng) ;;
    web)     packages+=(cmake ninja-build emscripten node-acorn python3 python3-selenium chromium chromium-driver) ;;
    package) packages+=(cmake ninja-build g++ pkg-config libcli11-dev qt6-base-dev librtmidi-dev libjack-jackd2-dev dpkg-dev file lintian
                        desktop-file-utils appstream) ;;
    *) echo "install-deps.sh: unknown task '$task'" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Sort out duplicates between tasks.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps.sh: run as root or install sudo" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
