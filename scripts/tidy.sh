#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) on the C++ sources a change
# touches: by default those that differ from main, committed or not; or the
# files given. Needs a configured build folder for its compile commands
# (KESTRIX_BUILD_DIR, default build/). Exits non-zero when tidy finds
# anything.
#
#   scripts/tidy.sh                  files changed since main
#   scripts/tidy.sh engine/*.cpp     these files
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRIX_BUILD_DIR:-$root/build}
cd "$root"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: no $build/compile_commands.json; run scripts/setup.sh first" >&2
  exit 2
fi
if (($#)); then
  files=("$@")
else
  base=$(git merge-base HEAD main 2>/dev/null || echo HEAD)
  # A changed header is checked through the source of the same name.
  mapfile -t files < <({ git diff --name-only --diff-filter=d "$base"; git ls-files -o --exclude-standard; } |
    grep -E '\.(cpp|h)$' | sed 's/\.h$/.cpp/' | sort -u)
fi
if ((${#files[@]} == 0)); then
  echo "tidy: nothing to check"
  exit 0
fi
tidy=$(command -v clang-tidy || command -v clang-tidy-14)
status=0
for file in "${files[@]}"; do
  [ -f "$file" ] || continue
  nice -n 5 "$tidy" -p "$build" --quiet --warnings-as-errors='*' --header-filter="^$root/(core|links|http|engine|browser|ui|exploration|app|cli)/" \
    "$file" 2>/dev/null || status=1
done
exit $status
