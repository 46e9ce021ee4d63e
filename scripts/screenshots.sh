#!/usr/bin/env bash
# Saves PNG pictures of the desktop program after a mirror of the bundled
# sample site (jobs, queue and summary pages, the find dialog), drawn on the
# offscreen platform, into the folder given (default build/screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRIX_BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}
cmake --build "$build" --target ui_screenshots
QT_QPA_PLATFORM=offscreen "$build/tests/ui/ui_screenshots" "$out"
