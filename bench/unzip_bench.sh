#!/usr/bin/env bash
# Zip extraction benchmark: unpacks the corpus package (2000 files, 218 MB)
# with UnzipArchive, `unzip -o -q` and `bsdtar -xf`, each into a fresh folder
# on the same file system, interleaved over several rounds, and prints the
# throughput of each (MB of output per second of wall time) and the ratios of
# UnzipArchive to the anchors (median of the per-round ratios). Outputs are
# kept until the end: ext4 makes the first creations after a large deletion
# pay for skipping the recently freed inodes, which would bias whichever
# tool ran next. The order of the tools rotates from round to round.
# Usage: bench/unzip_bench.sh [build dir] [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
rounds="${2:-5}"
corpus=/tmp/bench-corpus
work="$(mktemp -d /tmp/quillory-unzip-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

[ -f "$corpus/corpus.vkp" ] || bash "$root/../shared/bench/make-corpus.sh" "$corpus"
cmake --build "$build" --target quillory_util quillory_platform >/dev/null
g++ -std=c++17 -O2 -I"$root/src" "$root/bench/unzip_bench.cpp" -o "$work/unzip_bench" \
  "$build/src/util/libquillory_util.a" "$build/src/platform/libquillory_platform.a" \
  -lminizip -lz -lpthread

archive="$corpus/corpus.vkp"
bytes=$(awk '{ s += $2 } END { print s }' "$corpus/paths.txt")
cat "$archive" >/dev/null  # into the page cache

# run NAME DIR: unpacks into DIR with the named tool and prints the seconds.
run() {
  local name=$1 dir=$2 start end
  mkdir -p "$dir"
  sync  # earlier rounds' dirty pages must not be written back on this one's time
  case $name in
    quillory) "$work/unzip_bench" "$archive" "$dir" ;;
    unzip)  start=$(date +%s.%N); unzip -o -q "$archive" -d "$dir"; end=$(date +%s.%N)
            echo "$end - $start" | bc -l ;;
    bsdtar) start=$(date +%s.%N); bsdtar -xf "$archive" -C "$dir"; end=$(date +%s.%N)
            echo "$end - $start" | bc -l ;;
  esac
}

declare -A seconds
ratios_unzip=() ratios_bsdtar=()
orders=("quillory unzip bsdtar" "unzip bsdtar quillory" "bsdtar quillory unzip")
for round in $(seq 1 "$rounds"); do
  for name in ${orders[$(( (round - 1) % 3 ))]}; do
    seconds[$name]=$(run "$name" "$work/$name-$round")
  done
  line="round $round:"
  for name in quillory unzip bsdtar; do
    line+=$(printf ' %s %.1f MB/s' "$name" "$(echo "$bytes / ${seconds[$name]} / 1000000" | bc -l)")
  done
  ratios_unzip+=("$(echo "${seconds[unzip]} / ${seconds[quillory]}" | bc -l)")
  ratios_bsdtar+=("$(echo "${seconds[bsdtar]} / ${seconds[quillory]}" | bc -l)")
  echo "$line"
done

# One more unpack, checked file by file against the corpus manifest.
"$work/unzip_bench" "$archive" "$work/check" >/dev/null
(cd "$work/check" && md5sum --quiet -c "$corpus/MANIFEST.md5") && echo "output verified: all files match"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf 'UnzipArchive / unzip throughput ratio (median): %.2f\n' "$(median "${ratios_unzip[@]}")"
printf 'UnzipArchive / bsdtar throughput ratio (median): %.2f\n' "$(median "${ratios_bsdtar[@]}")"
