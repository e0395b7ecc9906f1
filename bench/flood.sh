#!/usr/bin/env bash
# Flood and slow clients against the headless content server, run by hand.
#
#   bench/flood.sh [BUILD_DIR]      (default: build; needs tools/quillory-serve
#                                    and tools/quillory-pack)
#
# Serves a small store (one 10 KB page) with quillory-serve and runs
# bench/flood_clients.py against it: 5,000 connections opened as fast as
# possible, 500 idle connections held open past the server's idle time-out,
# and 100 clients sending one byte per second, while a probe asks for the page
# every 200 ms. Passes when every probe is answered within a second and the
# server's thread count comes back to its value before the flood.
# Environment: BURST, IDLE, HOLD (s), SLOW (s), SLOW_CLIENTS.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
WORK=$(mktemp -d /tmp/quillory-flood.XXXXXX)
SERVE_PID=""
cleanup() {
  [ -n "$SERVE_PID" ] && kill "$SERVE_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# Both sides hold thousands of sockets.
ulimit -n "$(ulimit -Hn)"
[ "$(ulimit -n)" = unlimited ] || [ "$(ulimit -n)" -ge 12000 ] || echo "warning: only $(ulimit -n) descriptors per process" >&2

mkdir -p "$WORK/plain/000000"
head -c 10240 /dev/zero | tr '\0' 'q' > "$WORK/plain/000000/index.html"
"$BUILD/tools/quillory-pack" store "$WORK/plain" "$WORK/prog/Data" > /dev/null

"$BUILD/tools/quillory-serve" "$WORK/prog" > "$WORK/serve.out" &
SERVE_PID=$!
for _ in $(seq 100); do [ -s "$WORK/serve.out" ] && break; sleep 0.1; done
PORT=$(head -1 "$WORK/serve.out")
curl -sf -o /dev/null "http://127.0.0.1:$PORT/000000/index.html"
echo "quillory-serve pid $SERVE_PID port $PORT"
python3 "$HERE/flood_clients.py" "$PORT" "$SERVE_PID" /000000/index.html
