#!/usr/bin/env bash
# The store tool and the headless server end to end: a content folder packed
# with `quillory-pack store`, served by `quillory-serve` on 127.0.0.1, gives
# back every original byte over HTTP — binary sizes around the chunk edges, a
# nested folder and a Chinese file name. On Windows both tools run under the
# build's emulator (Wine); curl runs on the Linux side.
#
#   store_round_trip.sh EMULATOR PACK_EXE SERVE_EXE     (EMULATOR may be empty)
set -euo pipefail
emulator=$1 pack=$2 serve=$3
work=$(mktemp -d /tmp/quillory-store-trip.XXXXXX)
serve_pid=""
cleanup() {
  if [ -n "$serve_pid" ]; then
    kill "$serve_pid" 2>/dev/null || true
    wait "$serve_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
run() { if [ -n "$emulator" ]; then "$emulator" "$@"; else "$@"; fi; }

src="$work/content"
mkdir -p "$src/000000/中文" "$src/common/deep/er"
for size in 0 1 4095 4096 65537 1048579; do
  head -c "$size" /dev/urandom > "$src/000000/part$size.bin"
done
printf '<p>课文</p>' > "$src/000000/中文/课文.html"
head -c 300000 /dev/urandom > "$src/common/deep/er/page.js"

run "$pack" store "$src" "$work/prog/Data" > "$work/pack.out"
run "$serve" "$work/prog" > "$work/serve.out" 2> "$work/serve.err" &
serve_pid=$!
for _ in $(seq 300); do [ -s "$work/serve.out" ] && break; sleep 0.1; done
port=$(head -1 "$work/serve.out" | tr -d '\r')
[ -n "$port" ] || { echo "no port from the server:"; cat "$work/serve.err"; exit 1; }

url_path() {  # the path relative to the content folder, percent-encoded as a browser sends it
  python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$1"
}
checked=0
while IFS= read -r -d '' file; do
  relative=${file#"$src"/}
  curl -sf -o "$work/got" "http://127.0.0.1:$port/$(url_path "$relative")" ||
    { echo "request for $relative failed"; exit 1; }
  cmp "$file" "$work/got" || { echo "$relative came back different"; exit 1; }
  checked=$((checked + 1))
done < <(find "$src" -type f -print0)
[ "$checked" -eq 8 ] || { echo "checked $checked files, expected 8"; exit 1; }
echo "store round trip: $checked files byte for byte"
