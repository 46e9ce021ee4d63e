#!/usr/bin/env bash
# The desktop program's mirror against kestrix-cli's, in one run: generates
# the bench site (gen-site.py), serves it with nginx on 127.0.0.1, mirrors it
# with the main window (offscreen, ui_mirror_timing) and with kestrix-cli,
# each with the same job options, and prints both wall and CPU times and
# peak resident memories, with where the window's memory lay at its end
# (bench/smaps_owners.py) and how many of the web engine's helper processes
# ran below it then.
#
#   bench/gui_mirror.sh [BUILD_DIR] [PAGES]
# PAGES 0: no site, one page on a loopback port nothing answers (the fixed
# part of each program's memory). GUI_PREVIEW=1: the window then shows the
# first queue entry on its View page before its end is measured.
# GEN_SITE and SERVE name gen-site.py (default: the one in bench/) and
# serve.sh (default: the shared bench tools beside the checkout).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pages=${2:-2000}
tools=${BENCH_TOOLS_DIR:-$root/../shared/bench}
gen=${GEN_SITE:-$root/bench/gen-site.py}
serve=${SERVE:-$tools/serve.sh}
threads=8
scratch=$(mktemp -d)
pid=""
cleanup() { [[ -n $pid ]] && "$serve" stop "$pid" >/dev/null 2>&1; rm -rf "$scratch"; }
trap cleanup EXIT

source "$root/bench/loopback_nginx.sh"
port=$(free_port); port2=$(free_port)
if ((pages > 0)); then
  python3 "$gen" "$scratch/site" --pages "$pages" --port "$port" --port2 "$port2" >/dev/null
  pid=$("$serve" start "$scratch/site/www" "$port" "$port2" "$scratch/site/other")
fi
url="http://127.0.0.1:$port/"
job=(--depth 1000 --this-server --images --styles --embed --offline --replicate --no-htm-ext)
export XDG_RUNTIME_DIR=$scratch/run; mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# The GUI's project and job, made by the command line in a settings file of
# its own.
KESTRIX_SETTINGS=$scratch/gui.ini "$build/cli/kestrix-cli" add-project site >/dev/null
KESTRIX_SETTINGS=$scratch/gui.ini "$build/cli/kestrix-cli" add-job site "$url" "${job[@]}" >/dev/null
mkdir -p "$scratch/gui" "$scratch/cli"
# Whole processes, start-up included, measured alike by GNU time: wall, CPU
# and peak resident memory (MB); a run that fails (the unreachable page)
# counts as well.
timed() { /usr/bin/time -f "%e %U %S %M" -o "$scratch/time" "$@" >"$scratch/out" 2>/dev/null || true
          read -r wall user sys rss < <(tail -n 1 "$scratch/time")
          echo "$wall $(python3 -c "print(round($user + $sys, 2), round($rss / 1024, 1))")"; }
read -r gwall gcpu grss < <(timed "$build/tests/ui/ui_mirror_timing" "$scratch/gui.ini" "$scratch/gui" \
  "$threads" "$scratch/smaps" ${GUI_PREVIEW:+preview})
echo "gui: $(cat "$scratch/out")"
[[ -s $scratch/smaps ]] && python3 "$root/bench/smaps_owners.py" "$scratch/smaps"
read -r cwall ccpu crss < <(KESTRIX_SETTINGS=$scratch/cli.ini timed "$build/cli/kestrix-cli" mirror "$url" \
  --project site --folder "$scratch/cli" --threads "$threads" "${job[@]}")
echo "gui wall $gwall s, cpu $gcpu s, peak $grss MB; cli wall $cwall s, cpu $ccpu s, peak $crss MB"
python3 -c "print(f'gui/cli wall {$gwall / $cwall:.2f}, cpu {$gcpu / $ccpu:.2f}, peak memory {$grss / $crss:.2f}')"
