#!/usr/bin/env bash
# Builds and runs the product-catalogue benchmark against the libraries of a
# configured build tree (default: build). Usage: bench/catalogue_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake --build "$BUILD" --target quillory_commands quillory_shell_values quillory_core quillory_util quillory_platform
OUT="$BUILD/bench"
mkdir -p "$OUT"
g++ -std=c++17 -O2 -DTIXML_USE_STL -Isrc bench/catalogue_bench.cpp -o "$OUT/catalogue_bench" \
  "$BUILD/src/commands/libquillory_commands.a" "$BUILD/src/shell/libquillory_shell_values.a" "$BUILD/src/core/libquillory_core.a" \
  "$BUILD/src/util/libquillory_util.a" "$BUILD/src/platform/libquillory_platform.a" \
  -ltinyxml -lpthread
"$OUT/catalogue_bench"
