#!/usr/bin/env bash
# The cost of recording a web archive: the same whole-site mirror of the
# bench site (gen-site.py, served by one private nginx on 127.0.0.1 with
# gzip on) with and without --warc, runs alternating so that both meet the
# same machine load. Each row gives the median wall and CPU (user + system)
# time of RUNS runs, and the archive's size.
#
#   bench/warc_mirror.sh [BUILD_DIR] [PAGES] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
pages=${2:-2000} runs=${3:-5}
source "$root/bench/loopback_nginx.sh"
bench_scratch warc

port=$(free_port)
python3 "$root/bench/gen-site.py" "$scratch/site" --pages "$pages" --port "$port" \
  --port2 "$(free_port)" >/dev/null
write_nginx_conf "$scratch/run" "
  types { text/html html htm; text/css css; application/javascript js; image/gif gif;
          image/png png; image/jpeg jpg jpeg; text/plain txt; }
  access_log off;
  sendfile on;
  gzip on; gzip_types text/css application/javascript; gzip_min_length 256;
  server { listen 127.0.0.1:$port; root \"$scratch/site/www\"; }"
start_nginx "$scratch/run" "$port"

mirror() {  # mirror NAME [options]: one timed run into $scratch/NAME
  local out=$scratch/$1; shift
  rm -rf "$out" && mkdir -p "$out/home"
  env HOME="$out/home" XDG_RUNTIME_DIR="$out/home" KESTRIX_SETTINGS="$out/home/kestrix.ini" \
    /usr/bin/time -f "%e %U %S" -a -o "$scratch/$(basename "$out").times" \
    "$build/cli/kestrix-cli" mirror "http://127.0.0.1:$port/" --project site --folder "$out" \
    --threads 8 --depth 1000 --this-server --images --styles --embed --offline --replicate \
    "$@" >/dev/null 2>&1 || true
}

median() {  # median FILE COLUMN-EXPRESSION
  awk "{ print $2 }" "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

for _ in $(seq "$runs"); do
  mirror plain
  mirror warc --warc "$scratch/warc/site.warc.gz"
done
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $pages pages, $runs runs each, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| run | wall (s) | CPU (s) | archive |"
echo "|---|---|---|---|"
for name in plain warc; do
  size="-"
  [[ $name == warc ]] && size=$(du -bc "$scratch"/warc/*.warc.gz | tail -1 | cut -f1)
  printf '| %s | %s | %s | %s |\n' "$name" "$(median "$scratch/$name.times" '$1')" \
    "$(median "$scratch/$name.times" '$2 + $3')" "$size"
done
