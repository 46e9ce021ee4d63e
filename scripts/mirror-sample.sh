#!/usr/bin/env bash
# Mirrors a site with offline browsing on and prints its summary. Without an
# argument it serves the bundled sample site (samples/) from 127.0.0.1 with a
# private nginx, mirrors it, and stops the server again.
#
#   scripts/mirror-sample.sh [URL]
#   KESTRIX_BUILD_DIR  build folder (default: build/)
#   KESTRIX_OUT        download folder (default: out/ in the checkout)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${KESTRIX_BUILD_DIR:-$root/build}/cli/kestrix-cli
out=${KESTRIX_OUT:-$root/out}
mkdir -p "$out"
export KESTRIX_SETTINGS=${KESTRIX_SETTINGS:-$out/kestrix.ini}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

url=${1:-}
run=""
cleanup() {
  if [ -n "$run" ]; then
    [ -s "$run/nginx.pid" ] && kill -QUIT "$(cat "$run/nginx.pid")" 2>/dev/null || true
    sleep 0.3
    rm -rf "$run"
  fi
}
trap cleanup EXIT

if [ -z "$url" ]; then
  # Each run serves the sample on new ports: the history of an earlier copy
  # would bring back its queue on ports nothing answers any more.
  rm -rf "$out/sample"
  run=$(mktemp -d -t kestrix-sample.XXXXXX)
  port=$(free_port); port2=$(free_port)
  # The second site is reached as "localhost" so that it counts as another server.
  cp -r "$root/samples/site" "$run/site"; cp -r "$root/samples/other" "$run/other"
  find "$run/site" "$run/other" -name '*.html' -exec sed -i \
    -e "s/@OTHER@/localhost:$port2/g" -e "s/@MAIN@/127.0.0.1:$port/g" {} +
  chmod -R a+rX "$run"
  mkdir -p "$run/tmp"
  user=""
  [ "$(id -u)" -ne 0 ] || user="user $(id -un) $(id -gn);"
  cat > "$run/nginx.conf" <<CONF
$user
worker_processes 1;
pid "$run/nginx.pid";
error_log "$run/error.log" warn;
events { worker_connections 256; }
http {
  types { text/html html htm; text/css css; application/javascript js; image/png png; image/gif gif; }
  default_type application/octet-stream;
  client_body_temp_path "$run/tmp/client"; proxy_temp_path "$run/tmp/proxy";
  fastcgi_temp_path "$run/tmp/fastcgi"; uwsgi_temp_path "$run/tmp/uwsgi"; scgi_temp_path "$run/tmp/scgi";
  access_log "$run/access.log";
  if_modified_since before;
  server { listen 127.0.0.1:$port; root "$run/site"; }
  server { listen 127.0.0.1:$port2; root "$run/other"; }
}
CONF
  PATH=$PATH:/usr/sbin nginx -p "$run/" -c "$run/nginx.conf" -e "$run/error.log"
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  url="http://127.0.0.1:$port/index.html"
  echo "mirror-sample: serving the sample site at $url (second site on localhost:$port2)"
fi

# The mirror defaults make the copy complete and browsable; the sample also
# shows the second server, its images, link scripts and KOI8 pages.
"$cli" mirror "$url" --project sample --folder "$out/" --threads 4 \
  --remote-depth 1 --other-servers --remote-server --remote-images --scripts --koi8
"$cli" summary sample --folder "$out/"
echo
echo "mirror-sample: open $out/sample/ in a web browser to browse the copy offline."
