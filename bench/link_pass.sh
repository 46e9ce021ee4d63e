#!/usr/bin/env bash
# Whole mirrors of the generated bench site with the mirror command's
# defaults, to see what the edit of saved pages at the end of a run costs:
# the site as generated, and the same site with one file in ten gone from
# the server, pages too (so about 10 % of the links fail), mirrored
# with "links to what was not saved point to the web" (the default) and
# with --no-link-to-url (the pass then edits nothing for the failures).
# Prints wall and CPU time, files, requests and the mend line of each run;
# keeps the last copy of the whole site in OUT for link_pass_bench.
#
#   bench/link_pass.sh BUILD_DIR OUT [PAGES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 out=$2 pages=${3:-2000}
cli=$build/cli/kestrix-cli
[[ -x $cli ]] || { echo "link_pass.sh: build $cli first" >&2; exit 1; }
source "$root/bench/loopback_nginx.sh"
bench_scratch linkpass

port=$(free_port) port2=$(free_port)
python3 "$root/bench/gen-site.py" "$scratch/site" --pages "$pages" --port "$port" --port2 "$port2" >/dev/null
write_nginx_conf "$scratch/run" "
  types { text/html html; text/css css; application/javascript js; image/png png;
          image/jpeg jpg; image/gif gif; application/pdf pdf; }
  log_format plain '\$status \$request_uri';
  access_log \"$scratch/run/access.log\" plain;
  server { listen 127.0.0.1:$port; root \"$scratch/site/www\"; }
  server { listen 127.0.0.1:$port2; root \"$scratch/site/other\"; access_log off; }"
start_nginx "$scratch/run" "$port"

mirror() {  # NAME [options]: one mirror into a fresh folder ($into, else a scratch one)
  local name=$1; shift
  local dir=${into:-$scratch/out-$name}
  rm -rf "$dir"; mkdir -p "$dir"; : >"$scratch/run/access.log"
  local t0 t1 cpu
  t0=$(date +%s.%N)
  /usr/bin/time -o "$scratch/cpu" -f '%U %S' env KESTRIX_SETTINGS="$dir/kestrix.ini" HOME="$dir" \
    XDG_RUNTIME_DIR="$dir" "$cli" mirror "http://127.0.0.1:$port/" --project site \
    --folder "$dir" --threads 8 "$@" >"$dir/out.txt" 2>"$dir/err.txt" || true
  t1=$(date +%s.%N)
  cpu=$(tail -1 "$scratch/cpu")
  local files reqs failed
  files=$(find "$dir/site" -type f ! -name '*.his' | wc -l)
  reqs=$(wc -l <"$scratch/run/access.log")
  failed=$(grep -vc '^200 ' "$scratch/run/access.log" || true)
  awk -v n="$name" -v a="$t0" -v b="$t1" -v c="$cpu" -v f="$files" -v r="$reqs" -v e="$failed" \
    'BEGIN { split(c, u, " "); printf "%-22s wall %.2f s  cpu %.2f s  files %d  requests %d  not 200: %d\n", n, b - a, u[1] + u[2], f, r, e }'
  grep -h "mended\|not found" "$dir/out.txt" | sed 's/^/    /' || true
}

echo "generated site: $pages pages, $(find "$scratch/site/www" -type f | wc -l) files; $(nproc) CPUs, load $(cut -d' ' -f1 /proc/loadavg)"
# The history names the saved files by their full paths: the copy kept for
# link_pass_bench is made where it stays.
into=$out mirror whole
mirror whole-scripts --scripts
# One file in ten goes away, pages too (the start page stays): about one
# link in ten leads to a 404.
find "$scratch/site/www" -type f ! -path "$scratch/site/www/index.html" | sort |
  awk 'NR % 10 == 0' | xargs rm -f
mirror failing
mirror failing-no-link-to-url --no-link-to-url
