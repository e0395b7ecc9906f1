#!/usr/bin/env bash
# fuzz/run.sh TARGET SECONDS [extra libFuzzer args...]
# Runs one fuzz target (request, text, manifest, zip, settings) for SECONDS on
# a working copy of its committed seed corpus. New inputs and crash artifacts
# stay in the build tree (BUILD_DIR, default build-fuzz); the last line says
# how many inputs were run. Exit status is non-zero when the target found a
# fault. Build first with scripts/fuzz-ci.sh or:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUILLORY_FUZZ=ON -DQUILLORY_BUILD_TESTS=OFF
#   cmake --build build-fuzz --target quillory_fuzzers
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 2 ]]; then
  echo "usage: fuzz/run.sh TARGET SECONDS [libFuzzer args...]" >&2
  exit 2
fi
target=$1 seconds=$2
shift 2
build=${BUILD_DIR:-build-fuzz}
binary=$build/fuzz/fuzz_$target
seeds=fuzz/corpus/$target
[[ -x $binary ]] || { echo "no fuzz target $binary (build it first)" >&2; exit 2; }
[[ -d $seeds ]] || { echo "no seed corpus $seeds" >&2; exit 2; }

work=$build/fuzz-work/$target
artifacts=$build/fuzz-artifacts/$target
mkdir -p "$work" "$artifacts"
cp -n "$seeds"/* "$work"/ 2>/dev/null || true

# Limits: a hang is anything over 10 s per input; memory stays bounded.
limits=(-timeout=10 -rss_limit_mb=2048 -max_len=4096)
case $target in
  zip) limits+=(-malloc_limit_mb=256 -max_len=16384) ;;
  request) limits+=(-malloc_limit_mb=256) ;;
esac
dict=fuzz/$target.dict
[[ -f $dict ]] && limits+=(-dict="$dict")

# Every report of undefined behaviour ends the run, except the known ones
# listed in fuzz/ubsan.supp (each waits for its fix; remove it with the fix).
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp"

log=$build/fuzz-artifacts/$target.log
started=$SECONDS
set +e
"$binary" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$@" "$work" "$seeds" >"$log" 2>&1
status=$?
set -e
runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
echo "fuzz_$target: $runs inputs in $((SECONDS - started))s, exit $status (log $log)"
if [[ $status -ne 0 ]]; then
  grep -E 'INVARIANT BROKEN|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error|Test unit written' "$log" | head -5 >&2
fi
exit $status
