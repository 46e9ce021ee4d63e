#!/usr/bin/env bash
# The program's main job from a fresh checkout: install, build, and mirror the
# bundled sample site served from 127.0.0.1 (or the site given as argument).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${KESTRIX_BUILD_DIR:-$root/build}
if [ ! -x "$build/cli/kestrix-cli" ]; then
  echo "run: Kestrix is built, but its download engine and command line are not part of it yet;"
  echo "run: there is nothing to mirror with. Run scripts/test.sh to run the tests."
  exit 0
fi
exec "$root/scripts/mirror-sample.sh" "$@"
