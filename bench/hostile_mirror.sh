#!/usr/bin/env bash
# Peak memory and wall time of a mirror of a site that means harm, served by
# our fault server on 127.0.0.1: a page sent gzip-encoded that inflates to
# 256 MiB, a body that trickles without end, a calendar that always links
# the next month, a path that repeats itself, and a URL 3000 bytes long.
#
#   bench/hostile_mirror.sh KESTRIX_CLI [SECONDS] [-- RUN OPTIONS...]
#
# The run is killed after SECONDS (default 120) if it has not ended by
# itself. Prints the exit status, wall time, peak RSS, entries and the
# program's last lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$1
limit=${2:-120}
shift $(( $# >= 2 ? 2 : 1 ))
[[ ${1:-} == -- ]] && shift
scratch=$(mktemp -d -t kestrix-hostile.XXXXXX)
server=""
cleanup() {
  if [[ -n $server ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

page='HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n'
python3 - "$scratch/scenario.json" "$page" <<'PY'
import json, sys
path, page = sys.argv[1], sys.argv[2].encode().decode("unicode_escape")
index = ('<a href="/bomb.html">bomb</a> <a href="/trickle">trickle</a> '
         '<a href="/cal">calendar</a> <a href="/rep/">repeats</a> '
         '<a href="/x?' + "q" * 3000 + '">long</a>\n')
routes = {
    "/index.html": [{"send": page + index}],
    "/bomb.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                            "Content-Encoding: gzip\r\n\r\n"},
                   {"gzip": "<p>" + "a" * 1017 + "</p>\n", "count": 262144}],
    "/trickle": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n"},
                 {"trickle": "t", "count": 100000, "every": 0.05}],
    "/cal": [{"send": page + '<a href="/cal?month={next}">next</a>\n'}],
    "/rep/*": [{"send": page + '<a href="a/b/">deeper</a>\n'}],
}
json.dump({"routes": routes}, open(path, "w"))
PY
python3 "$root/tests/support/fault_server.py" --scenario "$scratch/scenario.json" \
  --lifetime $((limit + 60)) >"$scratch/port" &
server=$!
for _ in $(seq 50); do [[ -s $scratch/port ]] && break; sleep 0.1; done
port=$(head -1 "$scratch/port")

mkdir -p "$scratch/home" "$scratch/run" "$scratch/out"
chmod 700 "$scratch/run"
start=$(date +%s.%N)
set +e
env KESTRIX_SETTINGS="$scratch/kestrix.ini" HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" \
  /usr/bin/time -f "%M" -o "$scratch/rss" timeout -s INT "$limit" \
  "$cli" mirror "http://127.0.0.1:$port/index.html" --project hostile --folder "$scratch/out" \
  --depth 1000 --this-server "$@" >"$scratch/stdout" 2>"$scratch/stderr"
status=$?
set -e
end=$(date +%s.%N)
echo "exit status: $status"
awk -v a="$start" -v b="$end" 'BEGIN { printf "wall: %.1f s\n", b - a }'
echo "peak RSS: $(( $(tail -1 "$scratch/rss") / 1024 )) MB"
echo "saved: $(du -sm "$scratch/out" | cut -f1) MB"
grep -E "^(Finished|Stopped|Ended|Failed|Not queued)" "$scratch/stdout" || tail -3 "$scratch/stdout"
echo "entries logged: $(grep -c "$port" "$scratch/stdout" || true)"
