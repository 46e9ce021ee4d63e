#!/usr/bin/env bash
# The command-line mirror at several sizes of the generated bench site, with
# wget in the same runs: the shared bench (bench.sh) for each size, then the
# peak memory and the CPU time per saved file, and each size's CPU per file
# against the smallest size's.
#
#   bench/scale_mirror.sh [BUILD_DIR] [PAGES...]     (default: build, 2000 20000 100000)
# BENCH_TOOLS_DIR names the shared bench tools (default: beside the checkout).
# Put TMPDIR on tmpfs (/dev/shm): the 100,000-page site and its copies take
# about 3 GB, and a disk's inode allocator adds seconds of noise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shift $(($# > 0 ? 1 : 0))
sizes=("$@")
((${#sizes[@]})) || sizes=(2000 20000 100000)
tools=${BENCH_TOOLS_DIR:-$root/../shared/bench}
tsv=$(mktemp)
trap 'rm -f "$tsv"' EXIT

K="env KESTRIX_SETTINGS={out}/kestrix.ini XDG_RUNTIME_DIR={out}/run HOME={out} \
$build/cli/kestrix-cli mirror {url} --project site --folder {out} --threads 8 --depth 1000 \
--this-server --images --styles --embed --offline --replicate"
for pages in "${sizes[@]}"; do
  # Each size's rows, marked with the size; a 100,000-page mirror by wget
  # takes several minutes on two loaded cores.
  "$tools/bench.sh" --pages "$pages" --tool "kestrix=mkdir -m 700 {out}/run && $K" \
    --only kestrix,wget --scenarios mirror --timeout 3600 --tsv "$tsv.$pages"
  sed "1d; s/^/$pages\t/" "$tsv.$pages" >>"$tsv"
  rm -f "$tsv.$pages"
done
python3 - "$tsv" <<'PY'
import sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1])]
# pages, then the bench's columns: scenario tool files complete offsite reqs
# 304 err MB wall_s cpu_s rss_MB files/s rc
base = {}
print(f"{'pages':>7}  {'tool':8} {'files':>7} {'cpu_s':>7} {'rss_MB':>7} {'KB/file':>8} "
      f"{'CPU ms/file':>11} {'x smallest':>10}")
for r in rows:
    pages, tool, files, cpu, rss = r[0], r[2], int(r[3]), float(r[11]), float(r[12])
    per = cpu * 1000 / files
    base.setdefault(tool, per)
    print(f"{pages:>7}  {tool:8} {files:7d} {cpu:7.2f} {rss:7.1f} {rss * 1000 / files:8.2f} "
          f"{per:11.3f} {per / base[tool]:10.2f}")
PY
