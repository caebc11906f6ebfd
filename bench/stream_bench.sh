#!/usr/bin/env bash
# Builds the stream benchmark in a release tree of its own (-O2, no sanitizers) and runs it.
#   bench/stream_bench.sh          (BENCH_VERBOSE=1 also prints every timed run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DVORN_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
cmake --build "$build" --target stream_bench -- -j2 >/dev/null
"$build/bench/stream_bench"
