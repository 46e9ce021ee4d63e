#!/usr/bin/env bash
# A whole-site mirror with the requests a public site sees: the bench site
# (the shared gen-site.py) served by one private nginx on 127.0.0.1, plain
# and with gzip on, copied by a kestrix-cli built before a change, one built
# after it, and wget. Each row gives the wall time (best of RUNS) and the
# body bytes nginx sent (its access log), which is what went over the wire.
#
#   bench/polite_mirror.sh BEFORE_CLI AFTER_CLI [PAGES] [RUNS]
# BENCH_TOOLS_DIR names the shared bench tools (default: beside the checkout).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
before=$1 after=$2 pages=${3:-2000} runs=${4:-3}
tools=${BENCH_TOOLS_DIR:-$root/../shared/bench}
source "$root/bench/loopback_nginx.sh"
bench_scratch polite

port=$(free_port)
python3 "$tools/gen-site.py" "$scratch/site" --pages "$pages" --port "$port" >/dev/null
mkdir -p "$scratch/run/tmp"

serve() {  # serve [gzip]: (re)starts nginx, plain or compressing text
  local extra=""
  [[ ${1:-} == gzip ]] && extra="gzip on; gzip_types text/css application/javascript; gzip_min_length 256;"
  if [[ -n $pid ]]; then kill -QUIT "$pid"; wait "$pid" 2>/dev/null || true; fi
  write_nginx_conf "$scratch/run" "
  types { text/html html htm; text/css css; application/javascript js; image/gif gif;
          image/png png; image/jpeg jpg jpeg; text/plain txt; }
  log_format bytes '\$body_bytes_sent';
  access_log \"$scratch/run/access.log\" bytes;
  sendfile on;
  $extra
  server { listen 127.0.0.1:$port; root \"$scratch/site/www\"; }"
  start_nginx "$scratch/run" "$port"
}

row() {  # row NAME CMD...: best wall of $runs, and the body bytes of the last run
  local name=$1 best=999999 t0 t1 t; shift
  for _ in $(seq "$runs"); do
    rm -rf "$scratch/out" && mkdir -p "$scratch/out/home"
    : >"$scratch/run/access.log"
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s.%N)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (t < b ? t : b) }')
  done
  local bytes files
  bytes=$(awk '{ s += $1 } END { print s + 0 }' "$scratch/run/access.log")
  files=$(find "$scratch/out" -type f ! -path "*/home/*" | wc -l)
  printf '| %-22s | %6.2f | %11d | %5d |\n' "$name" "$best" "$bytes" "$files"
}

kestrix() {  # kestrix CLI [options]: a mirror of the whole site into $scratch/out
  local cli=$1; shift
  env HOME="$scratch/out/home" XDG_RUNTIME_DIR="$scratch/out/home" \
    KESTRIX_SETTINGS="$scratch/out/home/kestrix.ini" \
    "$cli" mirror "http://127.0.0.1:$port/" --project site --folder "$scratch/out" --threads 8 \
    --depth 1000 --this-server --images --styles --embed --offline --replicate "$@"
}

wget_mirror() {
  wget -q -r -l inf -p -k -nH -P "$scratch/out" --compression="${1:-none}" "http://127.0.0.1:$port/"
}

echo "| row | wall (s) | bytes sent | files |"
echo "|---|---|---|---|"
serve
row "plain: before" kestrix "$before"
row "plain: after" kestrix "$after"
row "plain: after --http1.0" kestrix "$after" --http1.0
row "plain: wget" wget_mirror
serve gzip
row "gzip: before" kestrix "$before"
row "gzip: after" kestrix "$after"
row "gzip: wget" wget_mirror auto
