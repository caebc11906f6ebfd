#!/usr/bin/env bash
# Installs what building, testing and running need, and prepares the Wine prefix under
# build/. Safe to run again: with nothing to do it takes a few seconds.
set -euo pipefail
source "$(dirname "$0")/env.sh"

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest libgtest-dev libjpeg62-turbo-dev dpkg-dev
  wine wine64 xvfb xauth x11-utils xdotool libgl1-mesa-dri imagemagick unar
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A Wine prefix made once per build tree; wineboot takes about ten seconds the first time.
if [ ! -f "$WINEPREFIX/.vorn-ready" ]; then
  echo "setup: preparing the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  DISPLAY= wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "setup: wineboot failed" >&2; exit 1; }
  touch "$WINEPREFIX/.vorn-ready"
fi
