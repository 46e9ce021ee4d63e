#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (a build folder of their own) and
# runs each for a few seconds: enough to catch a target that no longer
# builds or falls over at once. Longer runs: fuzz.sh with FUZZ_SECONDS=600.
#
#   KESTRIX_FUZZ_BUILD_DIR  build folder (default: build-fuzz/ in the checkout)
#   FUZZ_SECONDS            seconds per target (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRIX_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-5}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKESTRIX_FUZZ=ON -DKESTRIX_TESTS=OFF \
  -DKESTRIX_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" --target fuzz_targets
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$corpus/$name"
  echo "fuzz: $name for ${seconds} s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus/$name" >"$corpus/$name.log" 2>&1 ||
    { tail -40 "$corpus/$name.log"; exit 1; }
done
