#!/usr/bin/env bash
# RAR benchmark: packs ~20 MB of generated mixed data with vorn-rar, then times our
# extraction against unar on the same archive (best of three runs each, same machine, same
# run) and compares the archive size with gzip -9 of the same files.
#   bench/rar_bench.sh
# Builds its own release binaries (-O2, no sanitizers) into build/bench/rar with g++, so it
# does not depend on the state of the CMake tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/bench/rar"
mkdir -p "$work"
flags=(-std=c++17 -O2 -DNDEBUG -finput-charset=UTF-8 -fexec-charset=CP1251 -I"$root")
sources=()
for name in Crc32 Rar20Crypt Rar20Decoder Rar20Encoder RarArchive RarWriter; do
  sources+=("$root/engine/resources/$name.cpp")
done
g++ "${flags[@]}" "$root/tools/vorn-rar/main.cpp" "${sources[@]}" -o "$work/vorn-rar"
g++ "${flags[@]}" "$root/bench/rar_bench_data.cpp" -o "$work/rar_bench_data"

data="$work/data"
rm -rf "$data" "$work/ours" "$work/unar"
"$work/rar_bench_data" "$data"
# Fixed times keep the archive identical from run to run.
find "$data" -exec touch -h -d '2010-11-03 00:27:28' {} +

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

start=$(now)
"$work/vorn-rar" pack "$work/bench.rar" "$data"
pack_time=$(elapsed "$start" "$(now)")
archive_size=$(stat -c %s "$work/bench.rar")
data_size=$(find "$data" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

best() { # best of three runs of a command, in seconds
  local best_time=""
  for run in 1 2 3; do
    rm -rf "$2"
    local t0
    t0=$(now)
    eval "$1" >/dev/null 2>&1
    local t
    t=$(elapsed "$t0" "$(now)")
    if [ -z "$best_time" ] || (( $(echo "$t < $best_time" | bc -l) )); then best_time=$t; fi
  done
  echo "$best_time"
}

ours=$(best "'$work/vorn-rar' extract '$work/bench.rar' '$work/ours'" "$work/ours")
have_unar=1
command -v unar >/dev/null 2>&1 || have_unar=0
if [ "$have_unar" = 1 ]; then
  theirs=$(best "unar -q -D -o '$work/unar' -f '$work/bench.rar'" "$work/unar")
fi

diff -r "$data" "$work/ours" >/dev/null || { echo "our extraction differs from the input" >&2; exit 1; }
if [ "$have_unar" = 1 ]; then
  diff -r "$data" "$work/unar" >/dev/null || { echo "unar's extraction differs from the input" >&2; exit 1; }
fi

tar_gzip=$(tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$data" -cf - . | gzip -9 | wc -c)
files_gzip=$(find "$data" -type f -exec sh -c 'gzip -9 -c "$1" | wc -c' _ {} \; | awk '{s += $1} END {print s}')

printf 'data:              %d bytes in %d files\n' "$data_size" "$(find "$data" -type f | wc -l)"
printf 'pack:              %.2f s\n' "$pack_time"
printf 'extract, vorn-rar: %.3f s\n' "$ours"
if [ "$have_unar" = 1 ]; then
  printf 'extract, unar:     %.3f s\n' "$theirs"
  printf 'speed ratio:       %.2fx (unar time / vorn-rar time; goal >= 3)\n' "$(echo "$theirs / $ours" | bc -l)"
else
  echo 'extract, unar:     not installed'
fi
printf 'archive:           %d bytes (%.1f%% of the data)\n' "$archive_size" "$(echo "100 * $archive_size / $data_size" | bc -l)"
printf 'gzip -9 of a tar:  %d bytes -> size ratio %.3f (archive / gzip; goal <= 1)\n' "$tar_gzip" \
  "$(echo "$archive_size / $tar_gzip" | bc -l)"
printf 'gzip -9 per file:  %d bytes -> size ratio %.3f\n' "$files_gzip" "$(echo "$archive_size / $files_gzip" | bc -l)"
