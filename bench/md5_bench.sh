#!/usr/bin/env bash
# MD5 benchmark: hashes the same 512 MiB file with MD5File and with
# `openssl dgst -md5`, three runs, and prints each ratio (processor time,
# best of three interleaved measurements per side) and the median.
# Usage: bench/md5_bench.sh [FILE]   (default: a 512 MiB file of random bytes in /tmp)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
file="${1:-/tmp/quillory_md5_bench.bin}"

cmake -S "$root/bench" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target md5_bench >/dev/null
if [ ! -f "$file" ]; then
  head -c $((512 * 1024 * 1024)) /dev/urandom >"$file"
fi
cat "$file" >/dev/null  # into the page cache

ratios=()
for run in 1 2 3; do
  line="$("$build/md5_bench" "$file")"
  echo "run $run: $line"
  ratios+=("${line##* }")
done
printf '%s\n' "${ratios[@]}" | sort -n | sed -n 2p | sed 's/^/median ratio: /'
