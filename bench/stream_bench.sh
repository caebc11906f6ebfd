#!/usr/bin/env bash
# Builds the stream benchmark in a release tree of its own (-O2, no sanitizers) and runs it.
#   bench/stream_bench.sh
# Until the top CMakeLists.txt adds this folder, the engine library is built there and the
# benchmark is compiled against it directly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DVORN_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
if cmake --build "$build" --target stream_bench -- -j2 >/dev/null 2>&1; then
  program="$build/bench/stream_bench"
else
  cmake --build "$build" --target vorn -- -j2 >/dev/null
  program="$build/stream_bench"
  g++ -std=c++17 -O2 -DNDEBUG -finput-charset=UTF-8 -fexec-charset=CP1251 -I"$root" \
    "$root/bench/stream_bench.cpp" -Wl,--whole-archive "$build/engine/libvorn.a" -Wl,--no-whole-archive \
    -ldl -o "$program"
fi
"$program"
