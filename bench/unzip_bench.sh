#!/usr/bin/env bash
# Zip extraction benchmark: unpacks the corpus package (2000 files, 218 MB)
# with UnzipArchive, `unzip -o -q` and `bsdtar -xf`, each into a fresh folder
# on the same file system, interleaved over several rounds. Prints per round
# the throughput of each (MB of output per second of wall time), then the
# medians of the per-round ratios of UnzipArchive to each anchor: throughput
# (wall time) and processor time (user + system), the steadier of the two on
# a shared machine.
#
# Outputs are kept until the end: ext4 makes the first file creations after a
# large deletion pay for skipping the recently freed inodes, which would bias
# whichever tool ran next. The order of the tools rotates from round to round.
# Usage: bench/unzip_bench.sh [build dir] [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
rounds="${2:-6}"
corpus=/tmp/bench-corpus
work="$(mktemp -d /tmp/quillory-unzip-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

[ -f "$corpus/corpus.vkp" ] || bash "$root/../shared/bench/make-corpus.sh" "$corpus"
cmake --build "$build" --target quillory_util quillory_platform >/dev/null
g++ -std=c++17 -O2 -I"$root/src" "$root/bench/unzip_bench.cpp" -o "$work/unzip_bench" \
  "$build/src/util/libquillory_util.a" "$build/src/platform/libquillory_platform.a" \
  -lminizip -ldeflate -lz -lpthread

archive="$corpus/corpus.vkp"
bytes=$(awk '{ s += $2 } END { print s }' "$corpus/paths.txt")
cat "$archive" >/dev/null  # into the page cache

# run NAME DIR: unpacks into DIR with the named tool; prints "wall user system".
run() {
  local name=$1 dir=$2
  mkdir -p "$dir"
  sync  # earlier runs' dirty pages must not be written back on this one's time
  case $name in
    quillory) command=("$work/unzip_bench" "$archive" "$dir") ;;
    unzip) command=(unzip -o -q "$archive" -d "$dir") ;;
    bsdtar) command=(bsdtar -xf "$archive" -C "$dir") ;;
  esac
  /usr/bin/time -f "%e %U %S" -o "$work/time" "${command[@]}" >/dev/null
  cat "$work/time"
}

declare -A wall cpu
wall_unzip=() wall_bsdtar=() cpu_unzip=() cpu_bsdtar=()
orders=("quillory unzip bsdtar" "unzip bsdtar quillory" "bsdtar quillory unzip")
for round in $(seq 1 "$rounds"); do
  line="round $round:"
  for name in ${orders[$(( (round - 1) % 3 ))]}; do
    read -r w u s < <(run "$name" "$work/$name-$round")
    wall[$name]=$w
    cpu[$name]=$(echo "$u + $s" | bc -l)
  done
  for name in quillory unzip bsdtar; do
    line+=$(printf ' %s %.1f MB/s (cpu %.2f s)' "$name" \
      "$(echo "$bytes / ${wall[$name]} / 1000000" | bc -l)" "${cpu[$name]}")
  done
  echo "$line"
  wall_unzip+=("$(echo "${wall[unzip]} / ${wall[quillory]}" | bc -l)")
  wall_bsdtar+=("$(echo "${wall[bsdtar]} / ${wall[quillory]}" | bc -l)")
  cpu_unzip+=("$(echo "${cpu[unzip]} / ${cpu[quillory]}" | bc -l)")
  cpu_bsdtar+=("$(echo "${cpu[bsdtar]} / ${cpu[quillory]}" | bc -l)")
done

# One more unpack, checked file by file against the corpus manifest.
"$work/unzip_bench" "$archive" "$work/check" >/dev/null
(cd "$work/check" && md5sum --quiet -c "$corpus/MANIFEST.md5") && echo "output verified: all files match"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf 'UnzipArchive vs unzip:  throughput ratio %.2f, processor-time ratio %.2f (median)\n' \
  "$(median "${wall_unzip[@]}")" "$(median "${cpu_unzip[@]}")"
printf 'UnzipArchive vs bsdtar: throughput ratio %.2f, processor-time ratio %.2f (median)\n' \
  "$(median "${wall_bsdtar[@]}")" "$(median "${cpu_bsdtar[@]}")"
