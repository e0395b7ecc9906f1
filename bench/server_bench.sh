#!/usr/bin/env bash
# Benchmark of the local content server against nginx, run by hand.
#
#   bench/server_bench.sh [BUILD_DIR]      (default: build; a RelWithDebInfo build)
#
# Serves the benchmark corpus in store mode (built with `quillory-pack store`,
# so every byte is unscrambled on the way out) with quillory-serve, and the
# same corpus plain with nginx (keep-alive off), in the same run. Both are
# loaded with closeload (one request per connection, 50 connections, 10 s) on
# the 10 KB file and on the whole mix; prints requests/s and MB/s and the
# ratios server/nginx. Before the loads it measures how much the server's
# resident memory grows while it serves one 500 MB file.
#
# Environment: CORPUS (default /tmp/bench-corpus), CONNS (50), DURATION (10),
# ROUNDS (1: each load is run this many times, alternating, medians reported).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
KIT=${KIT:-$ROOT/../shared/bench}
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
CORPUS=${CORPUS:-/tmp/bench-corpus}
CONNS=${CONNS:-50}
DURATION=${DURATION:-10}
ROUNDS=${ROUNDS:-1}
WORK=$(mktemp -d /tmp/quillory-server-bench.XXXXXX)
SERVE_PID=""
NGINX_PID=""

cleanup() {
  [ -n "$SERVE_PID" ] && kill "$SERVE_PID" 2>/dev/null || true
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
field() { sed -n "s/.*[ ]$1=\([^ ]*\).*/\1/p" | tail -1; }

[ -d "$CORPUS/root" ] || bash "$KIT/make-corpus.sh" "$CORPUS" >/dev/null
cc -O2 -pthread -o "$WORK/closeload" "$KIT/closeload.c"

echo "== store: quillory-pack store"
mkdir -p "$WORK/prog"
"$BUILD/tools/quillory-pack" store "$CORPUS/root" "$WORK/prog/Data" | tail -1

echo "== a 500 MB file in the store"
BIG_NAME=$(printf '%s' '\000000\big500.mp4' | md5sum | cut -c1-32)
head -c 500000000 /dev/urandom > "$WORK/prog/Data/000000/$BIG_NAME.vkc"

"$BUILD/tools/quillory-serve" "$WORK/prog" > "$WORK/serve.out" &
SERVE_PID=$!
for _ in $(seq 100); do [ -s "$WORK/serve.out" ] && break; sleep 0.1; done
SERVE_PORT=$(head -1 "$WORK/serve.out")

NGINX_PORT=$(free_port)
mkdir -p "$WORK/nginx"
USER_LINE=""
[ "$(id -u)" = 0 ] && USER_LINE="user root;"
sed -e "s|@PREFIX@|$WORK/nginx|g" -e "s|@ROOT@|$CORPUS/root|g" -e "s|@PORT@|$NGINX_PORT|g" \
    -e "s|@KEEPALIVE@|0|g" -e "s|@USER@|$USER_LINE|g" "$KIT/nginx.conf.in" > "$WORK/nginx/nginx.conf"
nginx -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" &
NGINX_PID=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$NGINX_PORT/000000/index.html" && break; sleep 0.1; done

echo "== memory while serving the 500 MB file"
rss() { awk '/^VmRSS/ {print $2}' "/proc/$SERVE_PID/status"; }
BEFORE=$(rss)
PEAK=$BEFORE
curl -s -o /dev/null "http://127.0.0.1:$SERVE_PORT/000000/big500.mp4" &
CURL_PID=$!
while kill -0 "$CURL_PID" 2>/dev/null; do
  NOW=$(rss); [ "$NOW" -gt "$PEAK" ] && PEAK=$NOW; sleep 0.05
done
wait "$CURL_PID"
echo "server RSS before ${BEFORE} KiB, peak while serving ${PEAK} KiB, growth $((PEAK - BEFORE)) KiB"

run_load() {  # run_load PORT ARGS... -> prints the RESULT line
  "$WORK/closeload" -q -c "$CONNS" -d "$DURATION" -p "$1" "${@:2}" | grep '^RESULT'
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A RESULTS
for load in small mix; do
  if [ "$load" = small ]; then ARGS=(/000000/index.html); KEY=rps; else ARGS=(-f "$CORPUS/paths.txt"); KEY=mbps; fi
  : > "$WORK/$load.server"; : > "$WORK/$load.nginx"
  for round in $(seq "$ROUNDS"); do
    run_load "$SERVE_PORT" "${ARGS[@]}" | tee -a "$WORK/$load.server.lines" | field "$KEY" >> "$WORK/$load.server"
    run_load "$NGINX_PORT" "${ARGS[@]}" | tee -a "$WORK/$load.nginx.lines" | field "$KEY" >> "$WORK/$load.nginx"
  done
  RESULTS[$load.server]=$(median < "$WORK/$load.server")
  RESULTS[$load.nginx]=$(median < "$WORK/$load.nginx")
  echo "== $load ($KEY): server ${RESULTS[$load.server]}  nginx ${RESULTS[$load.nginx]}  ratio" \
       "$(awk -v a="${RESULTS[$load.server]}" -v b="${RESULTS[$load.nginx]}" 'BEGIN {printf "%.2f", a / b}')"
  sed 's/^/   server /' "$WORK/$load.server.lines"; sed 's/^/   nginx  /' "$WORK/$load.nginx.lines"
done
echo "server RSS after the loads: $(rss) KiB"
