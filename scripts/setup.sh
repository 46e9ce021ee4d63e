#!/usr/bin/env bash
# Installs every Debian package Kestrix needs to build, test and benchmark,
# then configures and builds it. Safe to run again: packages already present
# are not touched and the build is incremental.
#
#   KESTRIX_BUILD_DIR   build folder (default: build/ in the checkout)
#   KESTRIX_CMAKE_ARGS  extra arguments for cmake's configure step
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  zlib1g-dev libbrotli-dev libssl-dev libpsl-dev publicsuffix ca-certificates openssl
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nginx httrack wget curl time python3 xvfb xauth
  clang libclang-rt-14-dev clang-format clang-tidy
)
# The tests read our web archives back with the standard reader, which runs
# under node. A node installed otherwise (with its own npm) is used as it is.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -q
  # The nginx package would start a system-wide server on port 80; tests start their own.
  printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
  $sudo chmod +x /usr/sbin/policy-rc.d
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
  $sudo rm -f /usr/sbin/policy-rc.d
fi

# The reader itself, at the version pinned in tests/tools, into the
# (git-ignored) tests/tools/node_modules; again only when the pin changed.
tools="$root/tests/tools"
if ! cmp -s "$tools/package-lock.json" "$tools/node_modules/.kestrix-installed-lock" 2>/dev/null; then
  echo "setup: installing the test tools of tests/tools"
  (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$tools/package-lock.json" "$tools/node_modules/.kestrix-installed-lock"
fi

build=${KESTRIX_BUILD_DIR:-$root/build}
# A compiler cache keyed on paths relative to the checkout, so that a fresh
# clone in another folder reuses what an earlier build compiled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache ${KESTRIX_CMAKE_ARGS:-}
cmake --build "$build"
