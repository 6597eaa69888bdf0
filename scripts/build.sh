#!/usr/bin/env bash
# Configures (once) and builds the host and Windows builds under $QV_BUILD (default ./build).
# Usage: scripts/build.sh [host|win|all] [ninja targets...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}
which=${1:-all}; shift || true
jobs=${QV_JOBS:-$(nproc)}
if [[ $which == host || $which == all ]]; then
  if [ ! -f "$build/host/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  ninja -C "$build/host" -j "$jobs" "$@" >"$build/host-build.log" 2>&1 \
    || { grep -v '^\[[0-9]*/[0-9]*\]' "$build/host-build.log" | tail -n 60; echo "build (host) failed"; exit 1; }
fi
if [[ $which == win || $which == all ]]; then
  if [ ! -f "$build/win/build.ninja" ]; then
    cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-posix.cmake" >/dev/null
  fi
  ninja -C "$build/win" -j "$jobs" "$@" >"$build/win-build.log" 2>&1 \
    || { grep -v '^\[[0-9]*/[0-9]*\]' "$build/win-build.log" | tail -n 60; echo "build (win) failed"; exit 1; }
fi
