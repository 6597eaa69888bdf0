#!/usr/bin/env bash
# Runs a test program with the zone tests of one fixed time zone.
# Usage: scripts/in-zone.sh ZONE PROGRAM [ARGS...]   e.g.
#   scripts/in-zone.sh Etc/GMT-1 wine build/win/bin/core_tests.exe --gtest_brief=1
# Under Wine a program cannot choose its own zone: Wine takes it from the Linux TZ of
# each wine process (measured: a child started with TZ only in its Windows environment
# keeps its parent's zone). So the zone is set here, and QV_TEST_ZONE tells the tests
# which of their zones is the active one; the others skip.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 ZONE PROGRAM [ARGS...]" >&2; exit 2; }
zone=$1; shift
export TZ="$zone" QV_TEST_ZONE="$zone"
exec "$@" --gtest_filter='*InZone*'
