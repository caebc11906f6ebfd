#!/usr/bin/env bash
# Configures and builds both trees: build/native (engine, unit tests under ASan/UBSan,
# fuzz regressions, tools) and build/windows (Dustvale.scr and the Windows-side tests).
#   scripts/build.sh [native|windows|all] [extra ninja targets...]
set -euo pipefail
source "$(dirname "$0")/env.sh"
which=${1:-all}
shift || true
if [ "$which" = native ] || [ "$which" = all ]; then
  [ -f "$VORN_BUILD/native/build.ninja" ] || cmake -S "$VORN_ROOT" -B "$VORN_BUILD/native" -G Ninja >/dev/null
  cmake --build "$VORN_BUILD/native" -- "$@"
fi
if [ "$which" = windows ] || [ "$which" = all ]; then
  [ -f "$VORN_BUILD/windows/build.ninja" ] || cmake -S "$VORN_ROOT" -B "$VORN_BUILD/windows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$VORN_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$VORN_BUILD/windows" -- "$@"
fi
