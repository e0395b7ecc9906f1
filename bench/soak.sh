#!/usr/bin/env bash
# Soak run of the local content server, by hand and bounded in time.
#
#   bench/soak.sh [BUILD_DIR]    (default: build; needs tools/quillory-serve,
#                                 tools/quillory-pack, tests/update/quillory-update-run
#                                 and the static libraries of a plain build)
#
# Serves the benchmark corpus in store mode with quillory-serve and loads it
# with closeload (CONNS connections, DURATION seconds, cycling through every
# path and checking each body's length). Beside the load, two loops repeat
# until the load ends: a package import of store files into the served Data
# folder, and an update run against a local nginx whose manifest holds a
# package of store files (unpacked into the served Data) and a plain file
# (LastUpdate is set back before each run). The packages hold the bytes that
# Data already has, so every answer must still have its exact length.
#
# Records requests served, errors, imports and updates that failed, and the
# server's resident memory, open descriptors and threads at the start, every
# 30 s, at the end of the load and 12 s later (idle). Environment: CORPUS (/tmp/bench-corpus), CONNS (50),
# DURATION (300).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
KIT=${KIT:-$ROOT/../shared/bench}
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
CORPUS=${CORPUS:-/tmp/bench-corpus}
CONNS=${CONNS:-50}
DURATION=${DURATION:-300}
WORK=$(mktemp -d /tmp/quillory-soak.XXXXXX)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
snapshot() {  # snapshot LABEL
  local pid=$SERVE_PID
  printf '%-8s rss %6s KiB  fds %4s  threads %4s\n' "$1" \
    "$(awk '/^VmRSS/ {print $2}' /proc/$pid/status)" "$(ls /proc/$pid/fd | wc -l)" \
    "$(awk '/^Threads/ {print $2}' /proc/$pid/status)"
}

[ -d "$CORPUS/root" ] || bash "$KIT/make-corpus.sh" "$CORPUS" >/dev/null
cc -O2 -pthread -o "$WORK/closeload" "$KIT/closeload.c"
g++ -std=c++17 -O2 -I"$ROOT/src" "$HERE/import_run.cpp" -o "$WORK/import_run" \
  "$BUILD/src/commands/libquillory_commands.a" "$BUILD/src/shell/libquillory_shell_values.a" "$BUILD/src/core/libquillory_core.a" \
  "$BUILD/src/util/libquillory_util.a" "$BUILD/src/platform/libquillory_platform.a" \
  -ltinyxml -lminizip -lz -lpthread

echo "== store of the corpus"
"$BUILD/tools/quillory-pack" store "$CORPUS/root" "$WORK/prog/Data" | tail -1
printf '[Base]\nLastUpdate=1.0.0.0\n' > "$WORK/prog/config.ini"

echo "== packages of store files"
python3 - "$WORK" <<'PY'
import os, sys, zipfile
work = sys.argv[1]
def pack(folder, out, count):
    names = sorted(os.listdir(os.path.join(work, "prog/Data", folder)))[:count]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            z.write(os.path.join(work, "prog/Data", folder, name), f"{folder}/{name}")
    print(out, len(names), "entries", os.path.getsize(out), "bytes")
os.makedirs(os.path.join(work, "www/files"), exist_ok=True)
pack("000002", os.path.join(work, "import.vkp"), 150)
pack("000001", os.path.join(work, "www/files/update.vkp"), 150)
PY
head -c 1048576 /dev/urandom > "$WORK/www/files/readme.bin"

NGINX_PORT=$(free_port)
mkdir -p "$WORK/nginx" "$WORK/www/Public/ebag/client/update"
USER_LINE=""
[ "$(id -u)" = 0 ] && USER_LINE="user root;"
sed -e "s|@PREFIX@|$WORK/nginx|g" -e "s|@ROOT@|$WORK/www|g" -e "s|@PORT@|$NGINX_PORT|g" \
    -e "s|@KEEPALIVE@|65|g" -e "s|@USER@|$USER_LINE|g" "$KIT/nginx.conf.in" > "$WORK/nginx/nginx.conf"
nginx -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" &
PIDS+=($!)
UPDATE_URL="http://127.0.0.1:$NGINX_PORT"
"$BUILD/tools/quillory-pack" manifest --version 2.0.0.0 \
  --out "$WORK/www/Public/ebag/client/update/update.xml" \
  "$WORK/www/files/update.vkp,pkg,$UPDATE_URL/files/update.vkp,package" \
  "$WORK/www/files/readme.bin,,$UPDATE_URL/files/readme.bin,file" > /dev/null
for _ in $(seq 100); do curl -sf -o /dev/null "$UPDATE_URL/files/readme.bin" && break; sleep 0.1; done

"$BUILD/tools/quillory-serve" "$WORK/prog" > "$WORK/serve.out" &
SERVE_PID=$!
PIDS+=($SERVE_PID)
for _ in $(seq 100); do [ -s "$WORK/serve.out" ] && break; sleep 0.1; done
PORT=$(head -1 "$WORK/serve.out")
echo "quillory-serve pid $SERVE_PID port $PORT; update server $UPDATE_URL"
snapshot start

"$WORK/closeload" -c "$CONNS" -d "$DURATION" -p "$PORT" -f "$CORPUS/paths.txt" \
  > "$WORK/load.out" 2>&1 &
LOAD_PID=$!
PIDS+=($LOAD_PID)

(  # package imports into the served Data
  while kill -0 "$LOAD_PID" 2>/dev/null; do
    "$WORK/import_run" "$WORK/prog" "$WORK/import.vkp" 1 || true
  done
) > "$WORK/imports.out" 2>&1 &
PIDS+=($!)
(  # update runs against nginx, LastUpdate set back before each
  while kill -0 "$LOAD_PID" 2>/dev/null; do
    printf '[Base]\nLastUpdate=1.0.0.0\n' > "$WORK/prog/config.ini"
    QUILLORY_UPDATE_SERVER=$UPDATE_URL "$BUILD/tests/update/quillory-update-run" "$WORK/prog" || true
  done
) > "$WORK/updates.out" 2>&1 &
PIDS+=($!)

ELAPSED=0
while kill -0 "$LOAD_PID" 2>/dev/null; do
  sleep 1
  ELAPSED=$((ELAPSED + 1))
  (( ELAPSED % 30 == 0 )) && snapshot "${ELAPSED}s"
done
wait "$LOAD_PID" || true
snapshot end
sleep 12  # longer than the time a finished connection thread waits for more work
snapshot idle

echo "== load"
grep '^RESULT' "$WORK/load.out" || tail -5 "$WORK/load.out"
echo "== imports: $(grep -c 'failed 0' "$WORK/imports.out") succeeded, $(grep -vc 'failed 0' "$WORK/imports.out") failed"
echo "== updates: $(grep -c 'outcome completed' "$WORK/updates.out") completed, $(grep -vc 'outcome completed' "$WORK/updates.out") other"
grep -v 'outcome completed' "$WORK/updates.out" | sort | uniq -c | head -5 || true
