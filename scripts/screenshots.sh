#!/usr/bin/env bash
# Saves PNG pictures of every window, page and dialog of the desktop program
# (main window pages, the View page with a saved page and with a preview,
# find, job properties, pattern editor, options, project dialogs, post data
# editor, exploration test and its filter) after a mirror of the bundled
# sample site, drawn on the offscreen platform, into the folder given
# (default build/screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRIX_BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}
cmake --build "$build" --target ui_screenshots
# A run of its own: no settings, lock or cache of the user's are touched.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 -p "$scratch/run" "$scratch/home"
XDG_RUNTIME_DIR=$scratch/run HOME=$scratch/home KESTRIX_SETTINGS=$scratch/kestrix.ini \
  QT_QPA_PLATFORM=offscreen "$build/tests/ui/ui_screenshots" "$out"
