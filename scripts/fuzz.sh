#!/usr/bin/env bash
# A longer fuzzing run of the host fuzz targets (libFuzzer with ASan+UBSan), one after
# the other. The test command runs each for a few seconds only.
#
# Usage: scripts/fuzz.sh [seconds per target, default 300]
#   QV_BUILD=<build folder> as for scripts/build.sh (default ./build).
#
# Each target starts from the seeds in fuzz/corpus/<name>/ plus what earlier runs kept in
# $QV_BUILD/fuzz-corpus/<name>/, and adds what it learns there. A finding is written to
# $QV_BUILD/fuzz-findings/<name>/ and named at the end; replay it with
#   $QV_BUILD/host/bin/fuzz_<name> <file>
# The exit status is 0 when no target found anything.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}
seconds=${1:-300}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: $0 [seconds]" >&2; exit 2; }

"$root/scripts/build.sh" host fuzz_xltable fuzz_config || exit 1

status=0
for fz in "$build"/host/bin/fuzz_*; do
  [ -x "$fz" ] || continue
  name=${fz##*/fuzz_}
  corpus="$build/fuzz-corpus/$name"
  findings="$build/fuzz-findings/$name"
  log="$build/fuzz-$name.log"
  mkdir -p "$corpus" "$findings"
  cp -n "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  echo "fuzz_$name: ${seconds} s, corpus $corpus"
  UBSAN_OPTIONS=print_stacktrace=1 "$fz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  if [ "$rc" = 0 ]; then
    echo "  no finding in ${runs:-?} runs ($(ls "$corpus" | wc -l) inputs in the corpus)"
  else
    status=1
    echo "  FINDING (exit $rc):"
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -n 8 | sed 's/^/    /'
    echo "  full log: $log"
  fi
done
exit $status
