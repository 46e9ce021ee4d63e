#!/usr/bin/env bash
# Whole-process download benchmark on loopback: nginx serves one 200 MB file
# and ten 20 MB files from a scratch folder; our client (http_fetch), curl
# and wget each download them into files, best of three runs per row.
#
#   bench/http_download.sh [BUILD_DIR]     (needs -DKESTRIX_BENCH=ON, Release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
fetch=$build/bench/http_fetch
[[ -x $fetch ]] || { echo "http_download.sh: build $fetch first" >&2; exit 1; }
source "$root/bench/loopback_nginx.sh"
bench_scratch httpbench

mkdir -p "$scratch/site" "$scratch/run/tmp" "$scratch/out"
head -c 200000000 /dev/urandom >"$scratch/site/big.bin"
for i in $(seq 0 9); do head -c 20000000 /dev/urandom >"$scratch/site/part$i.bin"; done
port=$(free_port)
write_nginx_conf "$scratch/run" "
  access_log off;
  sendfile on;
  server { listen 127.0.0.1:$port; root \"$scratch/site\"; }"
start_nginx "$scratch/run" "$port"
base=http://127.0.0.1:$port

seconds() {  # runs "$@", prints its wall time in seconds
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}
best() {  # best of three: MB/s for BYTES moved by "$@"
  local bytes=$1 b=999999 t; shift
  for _ in 1 2 3; do
    rm -f "$scratch"/out/*
    t=$(seconds "$@")
    b=$(awk -v t="$t" -v b="$b" 'BEGIN { print (t < b ? t : b) }')
  done
  awk -v n="$bytes" -v b="$b" 'BEGIN { printf "%.1f MB/s (%.2f s)", n / b / 1e6, b }'
}

parts=()
for i in $(seq 0 9); do parts+=("$base/part$i.bin"); done
echo "one 200 MB file, loopback, $(nproc) CPUs"
echo "  kestrix http_fetch: $(best 200000000 "$fetch" "$scratch/out" "$base/big.bin")"
echo "  curl:               $(best 200000000 curl -s -o "$scratch/out/big.bin" "$base/big.bin")"
echo "  wget:               $(best 200000000 wget -q -O "$scratch/out/big.bin" "$base/big.bin")"
echo "ten 20 MB files at once"
echo "  kestrix http_fetch: $(best 200000000 "$fetch" "$scratch/out" "${parts[@]}")"
echo "  curl (parallel):    $(best 200000000 curl -s -Z --parallel-max 10 --output-dir "$scratch/out" --remote-name-all "${parts[@]}")"
