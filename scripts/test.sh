#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds, runs every host test and
# fuzz target (a few seconds each), then every Windows test under a private Wine, and prints
#   host: N passed, N failed / windows: N passed, N failed / N passed, N failed
set -uo pipefail
source "$(dirname "$0")/prelude.sh"

"$root/scripts/build.sh" all || exit 1

host_pass=0 host_fail=0 win_pass=0 win_fail=0
log=$(mktemp -d)

# Runs one gtest program and adds its counts to the named pair of totals.
run_gtest() {
  local side=$1; shift
  local name; name=$(basename "${@: -1}")
  local out="$log/$name.out" rc p f
  timeout "${QV_TEST_TIMEOUT:-900}" "$@" --gtest_brief=1 >"$out" 2>&1 </dev/null
  rc=$?
  p=$(grep -aoE '^\[  PASSED  \] [0-9]+' "$out" | tail -n1 | grep -oE '[0-9]+$' || true)
  f=$(grep -aoE '^\[  FAILED  \] [0-9]+ tests?, listed below' "$out" | tail -n1 | grep -oE '^\[  FAILED  \] [0-9]+' | grep -oE '[0-9]+$' || true)
  p=${p:-0}; f=${f:-0}
  if [ "$rc" != 0 ] && [ "$f" = 0 ]; then f=1; echo "$name: exited with $rc before reporting all results"; fi
  if [ "$f" != 0 ]; then echo "---- $name ----"; grep -av '^\[       OK \]' "$out" | tail -n 60; fi
  echo "  $name: $p passed, $f failed"
  grep -a '^note: Wine failed to start' "$out" | sed 's/^/    /' || true
  if [ "$side" = host ]; then host_pass=$((host_pass+p)); host_fail=$((host_fail+f))
  else win_pass=$((win_pass+p)); win_fail=$((win_fail+f)); fi
}

echo "== host tests"
for t in "$QV_BUILD"/host/bin/*_tests; do [ -x "$t" ] && run_gtest host "$t"; done
for fz in "$QV_BUILD"/host/bin/fuzz_*; do
  [ -x "$fz" ] || continue
  name=$(basename "$fz"); corpus="$log/corpus-$name"; mkdir -p "$corpus"
  cp -r "$root/fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
  if timeout 60 "$fz" -max_total_time="${QV_FUZZ_SECONDS:-4}" -print_final_stats=0 "$corpus" >"$log/$name.out" 2>&1; then
    echo "  $name: fuzzed ${QV_FUZZ_SECONDS:-4} s, no finding"; host_pass=$((host_pass+1))
  else
    echo "---- $name ----"; tail -n 40 "$log/$name.out"; host_fail=$((host_fail+1))
  fi
done

echo "== windows tests (Wine)"
qv_env_start || { echo "could not start Wine"; exit 1; }
if [ -x "$root/scripts/register.sh" ]; then
  if ! "$root/scripts/register.sh" >"$log/register.out" 2>&1; then
    echo "registering the simulation server failed:"; cat "$log/register.out"; win_fail=$((win_fail+1))
  fi
fi
for t in "$QV_BUILD"/win/bin/*_tests.exe; do [ -f "$t" ] && run_gtest win wine "$t"; done
# The timestamp texts follow the computer's current offset from UTC, and Wine takes the
# zone from the Linux TZ of each wine process: run the zone tests once per fixed zone.
for zone in Etc/GMT-1 America/New_York Asia/Kolkata; do
  run_gtest win "$root/scripts/in-zone.sh" "$zone" wine "$QV_BUILD/win/bin/core_tests.exe"
done

echo "host: $host_pass passed, $host_fail failed"
echo "windows: $win_pass passed, $win_fail failed"
total_pass=$((host_pass+win_pass)); total_fail=$((host_fail+win_fail))
echo "$total_pass passed, $total_fail failed"
[ "$total_fail" = 0 ] && [ "$total_pass" -gt 0 ]
