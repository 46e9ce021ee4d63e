#!/usr/bin/env bash
# Our mirror over TLS against our plain-HTTP mirror of the same site, with
# wget and HTTrack over the same TLS server, in one run. The bench site
# (gen-site.py) is served by one private nginx on 127.0.0.1 on three ports:
# TLS (certificate from a CA made here with openssl), plain HTTP of the same
# folder, and the small second site. The site's absolute links to itself are
# made rooted ("/dir/page.html") first, so that both schemes serve the same
# pages. The shared bench's run-peers.sh runs the tools and prints the rows.
#
#   bench/tls_mirror.sh [BUILD_DIR] [PAGES]
# BENCH_TOOLS_DIR names the shared bench tools (default: beside the checkout);
# TLS_TOOLS picks the TLS rows (default: kestrix-tls,wget-tls,httrack-tls).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
pages=${2:-2000}
tools=${BENCH_TOOLS_DIR:-$root/../shared/bench}
scratch=$(mktemp -d)
nginx_pid=""
cleanup() {
    if [[ -n $nginx_pid ]]; then kill -QUIT "$nginx_pid" 2>/dev/null || true; sleep 0.5; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$root/bench/loopback_nginx.sh"
tls_port=$(free_port); plain_port=$(free_port); port2=$(free_port)
python3 "$root/bench/gen-site.py" "$scratch/site" --pages "$pages" --port "$tls_port" \
    --port2 "$port2" >/dev/null
find "$scratch/site/www" -type f \( -name '*.html' -o -name '*.css' \) -print0 |
    xargs -0 sed -i "s#http://127\.0\.0\.1:$tls_port/#/#g"
# The same site seen through the plain port, for the plain rows' counts.
python3 - "$scratch/site/manifest.json" "$scratch/plain.json" "$plain_port" <<'PY'
import json, sys
m = json.load(open(sys.argv[1])); m["port"] = int(sys.argv[3]); json.dump(m, open(sys.argv[2], "w"))
PY

cd "$scratch"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.pem \
    -subj /CN=BenchCA -days 2 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout site.key -out site.csr \
    -subj /CN=127.0.0.1 2>/dev/null
echo "subjectAltName=IP:127.0.0.1" >site.ext
openssl x509 -req -in site.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile site.ext \
    -out site.pem 2>/dev/null
mkdir -p run/tmp
user=""; (( $(id -u) != 0 )) || user="user $(id -un) $(id -gn);"
cat >run/nginx.conf <<CONF
$user
worker_processes 1;
pid "$scratch/run/nginx.pid";
error_log "$scratch/run/error.log" warn;
events { worker_connections 1024; }
http {
    types { text/html html htm; text/css css; application/javascript js; image/gif gif;
            image/png png; image/jpeg jpg jpeg; text/plain txt; }
    default_type application/octet-stream;
    client_body_temp_path "$scratch/run/tmp/client";
    proxy_temp_path "$scratch/run/tmp/proxy";
    fastcgi_temp_path "$scratch/run/tmp/fastcgi";
    uwsgi_temp_path "$scratch/run/tmp/uwsgi";
    scgi_temp_path "$scratch/run/tmp/scgi";
    log_format bench '\$server_port \$status \$body_bytes_sent \$request_method \$request_uri';
    access_log "$scratch/run/access.log" bench;
    sendfile on;
    keepalive_timeout 30s;
    server_tokens off;
    if_modified_since before;
    ssl_session_cache shared:bench:1m;
    server {
        listen 127.0.0.1:$tls_port ssl;
        ssl_certificate "$scratch/site.pem";
        ssl_certificate_key "$scratch/site.key";
        root "$scratch/site/www";
    }
    server { listen 127.0.0.1:$plain_port; root "$scratch/site/www"; }
    server { listen 127.0.0.1:$port2; root "$scratch/site/other"; }
}
CONF
nginx -p "$scratch/run/" -c "$scratch/run/nginx.conf" -e "$scratch/run/error.log"
for _ in $(seq 50); do [[ -s run/nginx.pid ]] && break; sleep 0.1; done
nginx_pid=$(<run/nginx.pid)

export XDG_RUNTIME_DIR=$scratch/xdg; mkdir -m 700 -p "$XDG_RUNTIME_DIR"
if [[ -n ${HOLD_SECONDS:-} ]]; then  # serve only, for profiling by hand
    echo "https://127.0.0.1:$tls_port/ http://127.0.0.1:$plain_port/ CA $scratch/ca.pem"
    sleep "$HOLD_SECONDS"; exit 0
fi
ours="env KESTRIX_SETTINGS={out}/kestrix.ini $build/cli/kestrix-cli mirror {url} --project site \
--folder {out} --threads 8 --depth 1000 --this-server --images --styles --embed --offline \
--replicate --no-htm-ext"
common="--page-requisites --convert-links --no-parent -e robots=off -q"
httrack_opts="-c8 -s0 -n -q -I0 -%! -A0 -%c0"
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $pages pages, TLS port $tls_port, plain port $plain_port"
"$tools/run-peers.sh" --scenarios mirror --log run/access.log --only "${TLS_TOOLS:-kestrix-tls,wget-tls,httrack-tls}" \
    --tool "kestrix-tls=$ours --ca-file $scratch/ca.pem" \
    --tool "wget-tls=wget --mirror $common --ca-certificate=$scratch/ca.pem -P {out} {url}" \
    --tool "httrack-tls=httrack {url} -O {out} $httrack_opts" \
    site/manifest.json "https://127.0.0.1:$tls_port/"
"$tools/run-peers.sh" --scenarios mirror --log run/access.log --only kestrix-plain \
    --tool "kestrix-plain=$ours" plain.json "http://127.0.0.1:$plain_port/" | tail -n +2
