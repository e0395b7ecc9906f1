#!/usr/bin/env bash
# Start-up benchmark: the shell against a minimal WebKitGTK program, both
# under Xvfb with openbox, median of 10 runs; plus the WinFun round trip.
# Usage: bench/startup_bench.sh [build dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
RUNS=${2:-10}
cmake --build "$BUILD" --target quillory quillory-pack quillory-serve
OUT="$BUILD/bench"
mkdir -p "$OUT"
g++ -std=c++17 -O2 bench/startup_minimal.cpp -o "$OUT/startup_minimal" \
  $(pkg-config --cflags --libs gtk+-3.0 webkit2gtk-4.1)

RUN_DIR=$(mktemp -d)
exec 3>"$RUN_DIR/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'kill $WM $XVFB 2>/dev/null || true; rm -rf "$RUN_DIR"' EXIT
for _ in $(seq 100); do [ -s "$RUN_DIR/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$RUN_DIR/display")"
openbox >/dev/null 2>&1 &
WM=$!
python3 bench/startup_bench.py "$BUILD/src/shell/quillory" "$BUILD/tools/quillory-pack" \
  "$BUILD/tools/quillory-serve" "$OUT/startup_minimal" content "$RUNS"
