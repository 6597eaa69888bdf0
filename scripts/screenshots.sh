#!/usr/bin/env bash
# Makes the documentation pictures docs/screenshots/dialog-134-connect.png,
# dialog-136-parameters.png, dialog-131-browser.png and main-tabs.png: builds the Windows
# build, starts a private Wine with its own X display (scripts/wine-env.sh), registers the
# simulation server, and runs road_screens, which brings quorvane.exe into each state and
# names the window to take; each picture is cut from the display with ImageMagick's import.
# Usage: scripts/screenshots.sh        (QV_BUILD selects the build folder)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source "$root/scripts/wine-env.sh"
trap 'qv_env_stop' EXIT
trap 'exit 130' INT TERM

"$root/scripts/build.sh" win road_screens || exit 1
out="$root/docs/screenshots"
mkdir -p "$out"
qv_env_start || { echo "could not start Wine"; exit 1; }
"$root/scripts/register.sh" >/dev/null 2>&1 || { echo "registering the simulation server failed"; exit 1; }

# road_screens talks through a pipe each way: "shot <name> <x> <y> <w> <h>" out, one line back.
coproc SCREENS { wine "$QV_BUILD/win/bin/road_screens.exe" 2>&1; }
screens_pid=$SCREENS_PID  # bash forgets it once the coprocess has ended
taken=0
while IFS= read -r line <&"${SCREENS[0]}"; do
  line=${line%$'\r'}
  if [[ $line =~ ^shot\ ([A-Za-z0-9-]+)\ (-?[0-9]+)\ (-?[0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]]; then
    name=${BASH_REMATCH[1]} x=${BASH_REMATCH[2]} y=${BASH_REMATCH[3]} w=${BASH_REMATCH[4]} h=${BASH_REMATCH[5]}
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
    echo "$out/$name.png (${w}x${h})"
    taken=$((taken + 1))
    echo next >&"${SCREENS[1]}"
  else
    echo "road_screens: $line"
  fi
done
wait "$screens_pid" 2>/dev/null
[ "$taken" = 4 ] || { echo "only $taken of 4 pictures taken"; exit 1; }
