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
# KESTRIX_RUNS (default 3) mirrors of each size by kestrix, wget's once: the
# table takes their median, since a 2,000-page mirror's half second of CPU
# varies by a third from run to run even on an idle machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shift $(($# > 0 ? 1 : 0))
sizes=("$@")
((${#sizes[@]})) || sizes=(2000 20000 100000)
bench=${BENCH_TOOLS_DIR:-$root/../shared/bench}
tsv=$(mktemp)
trap 'rm -f "$tsv"' EXIT

K="env KESTRIX_SETTINGS={out}/kestrix.ini XDG_RUNTIME_DIR={out}/run HOME={out} \
$build/cli/kestrix-cli mirror {url} --project site --folder {out} --threads 8 --depth 1000 \
--this-server --images --styles --embed --offline --replicate"
runs=${KESTRIX_RUNS:-3}
tools=(--tool "kestrix=mkdir -m 700 {out}/run && $K")
names=kestrix,wget
for ((i = 2; i <= runs; i++)); do
  tools+=(--tool "kestrix$i=mkdir -m 700 {out}/run && $K")
  names+=",kestrix$i"
done
for pages in "${sizes[@]}"; do
  # Each size's rows, marked with the size; a 100,000-page mirror by wget
  # takes several minutes on two loaded cores.
  "$bench/bench.sh" --pages "$pages" "${tools[@]}" \
    --only "$names" --scenarios mirror --timeout 3600 --tsv "$tsv.$pages"
  sed "1d; s/^/$pages\t/" "$tsv.$pages" >>"$tsv"
  rm -f "$tsv.$pages"
done
python3 - "$tsv" <<'PY'
import re, statistics, sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1])]
# pages, then the bench's columns: scenario tool files complete offsite reqs
# 304 err MB wall_s cpu_s rss_MB files/s rc; kestrix2, kestrix3... are reruns.
runs = {}
for r in rows:
    key = (int(r[0]), re.sub(r"\d+$", "", r[2]))
    runs.setdefault(key, []).append((int(r[3]), float(r[11]), float(r[12])))
base = {}
print(f"{'pages':>7}  {'tool':8} {'runs':>4} {'files':>7} {'cpu_s':>7} {'rss_MB':>7} {'KB/file':>8} "
      f"{'CPU ms/file':>11} {'x smallest':>10}  (medians; CPU ms/file of each run)")
for (pages, tool), got in runs.items():
    files = int(statistics.median(f for f, _, _ in got))
    cpu = statistics.median(c for _, c, _ in got)
    rss = statistics.median(m for _, _, m in got)
    per = cpu * 1000 / files
    base.setdefault(tool, per)
    each = " ".join(f"{c * 1000 / f:.3f}" for f, c, _ in got)
    print(f"{pages:>7}  {tool:8} {len(got):4d} {files:7d} {cpu:7.2f} {rss:7.1f} {rss * 1000 / files:8.2f} "
          f"{per:11.3f} {per / base[tool]:10.2f}  {each}")
PY
