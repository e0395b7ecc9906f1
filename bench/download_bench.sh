#!/usr/bin/env bash
# Download benchmark: DownloadFile against `curl -o` for the same 500 MiB file
# from nginx on 127.0.0.1, five interleaved runs, ratio = curl's time / ours
# (goal >= 0.9). Then a full update pass with the corpus package (218 MB) as
# one "package" item, and where its time goes (download, MD5, unpack). Last,
# the same update signed: full passes without and with the signature check
# by turns (goal: the check adds < 1%), and the added work on its own.
# Usage: bench/download_bench.sh   (needs nginx-light, curl, zip)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench-download"
work="${QUILLORY_BENCH_DIR:-/tmp/quillory_download_bench}"
corpus="${QUILLORY_CORPUS_DIR:-/tmp/bench-corpus}"
shared="$root/../shared/bench"

cmake -S "$root/bench/download" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target download_bench quillory-pack >/dev/null

mkdir -p "$work/www" "$work/out" "$work/nginx"
big="$work/www/big.bin"
if [ ! -f "$big" ]; then head -c $((500 * 1024 * 1024)) /dev/urandom >"$big"; fi
if [ ! -f "$corpus/corpus.vkp" ]; then bash "$shared/make-corpus.sh" "$corpus" >/dev/null; fi

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user_line=""; if [ "$(id -u)" -eq 0 ]; then user_line="user root;"; fi
sed -e "s|@PREFIX@|$work/nginx|g" -e "s|@ROOT@|$work/www|g" -e "s|@PORT@|$port|g" \
    -e "s|@KEEPALIVE@|65|g" -e "s|@USER@|$user_line|g" "$shared/nginx.conf.in" >"$work/nginx/nginx.conf"
/usr/sbin/nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
trap 'kill $nginx_pid 2>/dev/null; wait $nginx_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.1; done
url="http://127.0.0.1:$port"

cat "$big" >/dev/null  # serve from the page cache
ratios=()
for run in 1 2 3 4 5; do
  rm -f "$work/out/"*
  t_curl=$(curl -s -o "$work/out/curl.bin" -w '%{time_total}' "$url/big.bin")
  rm -f "$work/out/"*
  t_ours=$("$build/download_bench" fetch "$url/big.bin" "$work/out")
  ratio=$(python3 -c "print(f'{$t_curl / $t_ours:.3f}')")
  mb=$(python3 -c "print(f'{500*1.048576/$t_curl:.0f} / {500*1.048576/$t_ours:.0f}')")
  echo "run $run: curl ${t_curl}s, DownloadFile ${t_ours}s (MB/s curl/ours: $mb), ratio $ratio"
  ratios+=("$ratio")
done
rm -f "$work/out/"*
printf '%s\n' "${ratios[@]}" | sort -n | sed -n 3p | sed 's/^/median ratio (curl time \/ ours): /'

# The corpus package as an update.
rm -rf "$work/app"
mkdir -p "$work/app/Data/000000" "$work/www/Public/ebag/client/update"
cp "$corpus/corpus.vkp" "$work/www/corpus.vkp"
rm -rf "$work/keys"
"$build/quillory/tools/quillory-pack" keygen "$work/keys" >/dev/null
"$build/quillory/tools/quillory-pack" manifest --version 2.0.0.0 \
  --out "$work/www/Public/ebag/client/update/update.xml" \
  --sign "$work/keys/quillory.key" --sequence 1 \
  "$work/www/corpus.vkp,pkg/,$url/corpus.vkp,package"
cat "$work/www/corpus.vkp" >/dev/null
"$build/download_bench" update "$work/app" "$url"
(cd "$work/app/Data" && md5sum --quiet -c "$corpus/MANIFEST.md5") && echo "unpacked tree matches MANIFEST.md5"

echo "signed updates:"
"$build/download_bench" signed "${QUILLORY_BENCH_PAIRS:-5}" "$work/app" "$url" "$work/keys/quillory.pub"
