#!/usr/bin/env bash
# Runs libFuzzer on one fuzz target for a number of seconds, starting from its kept corpus.
#   scripts/fuzz.sh TARGET [SECONDS]
# New inputs go to build/fuzz-work/TARGET and crashing ones to build/fuzz-artifacts/TARGET;
# copy the ones worth keeping (minimised) into fuzz/corpus/TARGET. fuzz/TARGET.dict, when
# present, is handed to libFuzzer as its dictionary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: fuzz.sh TARGET [SECONDS]}
seconds=${2:-60}
build="$root/build/libfuzzer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_LIBFUZZER=ON -DVORN_SANITIZE=ON >/dev/null
cmake --build "$build" --target "fuzz_$target"
work="$root/build/fuzz-work/$target"
artifacts="$root/build/fuzz-artifacts/$target"
mkdir -p "$work" "$artifacts"
dict=()
if [ -f "$root/fuzz/$target.dict" ]; then
  dict=(-dict="$root/fuzz/$target.dict")
fi
ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
  "$work" "$root/fuzz/corpus/$target"
