#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined sanitizers)
# and runs each for SECONDS (default 60) on its committed seed corpus. Fails
# when any target finds a fault; the crashing input is kept under
# BUILD_DIR/fuzz-artifacts/TARGET/ and can be replayed with
#   BUILD_DIR/fuzz/fuzz_TARGET FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
export BUILD_DIR=${BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DQUILLORY_FUZZ=ON \
  -DQUILLORY_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" --target quillory_fuzzers -j "$(nproc)"

failed=0
for target in request text manifest zip settings; do
  fuzz/run.sh "$target" "$seconds" || failed=1
done
exit $failed
