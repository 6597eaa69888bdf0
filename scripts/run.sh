#!/usr/bin/env bash
# The run command (for now the values demo): installs what is missing, builds the Windows
# build's values_demo, starts the private Wine environment and runs the demo under Wine.
#   QV_BUILD=<build folder> (default ./build); TZ=<zone> shows the texts in that zone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh"
echo "Building values_demo (Windows build)..."
"$root/scripts/build.sh" win values_demo
source "$root/scripts/wine-env.sh"
trap qv_env_stop EXIT
echo "Starting the private Wine environment..."
qv_env_start
echo "Running values_demo.exe under Wine:"
echo
wine "$QV_BUILD/win/bin/values_demo.exe" </dev/null
