#!/usr/bin/env bash
# The benchmark command: builds the Windows build, then runs every bin/*_bench.exe under a
# private Wine (after registering the simulation server, as the test command does) and
# prints what each one measured. Benchmarks are not tests: their figures are to be read.
# Usage: scripts/bench.sh [name-filter]     (QV_BUILD selects the build folder)
set -uo pipefail
source "$(dirname "$0")/prelude.sh"

"$root/scripts/build.sh" win || exit 1

qv_env_start || { echo "could not start Wine"; exit 1; }
if [ -x "$root/scripts/register.sh" ]; then
  "$root/scripts/register.sh" >/dev/null 2>&1 || { echo "registering the simulation server failed"; exit 1; }
fi

failed=0
for b in "$QV_BUILD"/win/bin/*_bench.exe; do
  [ -f "$b" ] || continue
  name=$(basename "$b" .exe)
  [[ -n "${1:-}" && $name != *"$1"* ]] && continue
  echo "== $name"
  start=$(date +%s)
  timeout "${QV_BENCH_TIMEOUT:-1800}" wine "$b" </dev/null 2>&1
  rc=$?
  echo "   ($name: exit $rc, $(( $(date +%s) - start )) s wall)"
  [ "$rc" = 0 ] || failed=1
done
exit $failed
