#!/usr/bin/env bash
# The run command: the bridge end to end. Installs what is missing, builds, registers the
# simulation OPC server in a private Wine prefix, starts Quorvane (with a demo
# configuration beside it if it has none), then a DDE client with hot links on a few of
# its items, and prints their values as they arrive. Saves a screenshot of the main window
# (to the build folder, so that a run leaves the checkout as it was), closes the window (so
# that the configuration is saved) and stops what it started.
#   QV_DEMO_SECONDS=<s>  how long the values are shown (default 20; Ctrl+C ends earlier)
#   QV_SCREENSHOT=<file> where the screenshot goes (default <build>/main-window.png)
#   QV_USE_DISPLAY=1     use $DISPLAY instead of a private Xvfb (to watch the window)
#   QV_BUILD=<folder>    build folder (default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${QV_DEMO_SECONDS:-20}
"$root/scripts/deps.sh"
echo "Building Quorvane, the OPC library, the simulation server and the DDE client (Windows build)..."
"$root/scripts/build.sh" win quorvane qvclose qvdde KOBRIX2 QuorvaneOpcPS QuorvaneSim
source "$root/scripts/wine-env.sh"
bin="$QV_BUILD/win/bin"

quorvane_pid=""
client_pid=""
cleanup() {
  # Ends exactly what this script started, the programs first, then Wine and the display.
  if [ -n "$client_pid" ] && kill -0 "$client_pid" 2>/dev/null; then kill "$client_pid" 2>/dev/null || true; fi
  if [ -n "$quorvane_pid" ] && kill -0 "$quorvane_pid" 2>/dev/null; then
    (cd "$bin" && timeout 15 wine ./qvclose.exe Quorvane 10000 </dev/null >/dev/null 2>&1) || kill "$quorvane_pid" 2>/dev/null || true
    wait "$quorvane_pid" 2>/dev/null || true
  fi
  qv_env_stop
}
trap cleanup EXIT
trap 'echo; echo "Interrupted."; exit 130' INT TERM

echo "Starting the private Wine environment and registering the simulation server..."
qv_env_start || { echo "Could not start the Wine environment." >&2; exit 1; }
"$root/scripts/register.sh" >/dev/null
# Debian's Wine does not find the fonts of fonts-wine by itself: without them in the prefix
# the dialogs fall back to another face and the caption buttons show letters.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/" 2>/dev/null || true
fi

if [ ! -f "$bin/quorvane.cfg" ]; then
  echo "Writing a demo configuration: $bin/quorvane.cfg"
  {
    printf 'FileRev = 1.00\r\nNumber Of Connections = 2\r\n'
    printf 'UpdateRate = 1000\r\nDeadband = 0.000000\r\nMachineName = \r\nServerName = Quorvane.Simulation.1\r\n'
    printf 'Alias = Static\r\nNumber Of Items = 4\r\n'
    printf 'TagName = Static.R8\r\nTagName = Static.I4\r\nTagName = Static.BOOL\r\nTagName = Static.BSTR\r\n'
    printf 'UpdateRate = 500\r\nDeadband = 0.000000\r\nMachineName = \r\nServerName = Quorvane.Simulation.1\r\n'
    printf 'Alias = Plant\r\nNumber Of Items = 7\r\n'
    printf 'TagName = Plant.Line1.Temp\r\nTagName = Plant.Line1.Level\r\nTagName = Plant.Line1.Counter\r\n'
    printf 'TagName = Plant.Line1.Random\r\nTagName = Plant.Line2.Pressure\r\nTagName = Plant.Line2.Running\r\n'
    printf 'TagName = Plant.Line2.State\r\n'
  } >"$bin/quorvane.cfg"
fi

echo "Starting Quorvane (it reconnects every stored connection)..."
(cd "$bin" && exec wine ./quorvane.exe </dev/null >/dev/null 2>&1) &
quorvane_pid=$!
window=""
for _ in $(seq 1 200); do
  window=$(xdotool search --name '^Quorvane$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$quorvane_pid" 2>/dev/null || { echo "Quorvane ended before its window appeared." >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "The Quorvane window did not appear." >&2; exit 1; }
sleep 2  # the connections are made and the first values arrive

echo "A DDE client pokes 42.5 into Static|Static.R8 ..."
(cd "$bin" && wine ./qvdde.exe --topic Static --poke Static.R8 42.5 --as number --seconds 1 </dev/null) || true
echo
echo "Hot links on the topic Plant; values as they arrive for ${seconds} s (Ctrl+C ends earlier):"
(cd "$bin" && exec wine ./qvdde.exe --topic Plant --advise Plant.Line1.Temp --advise Plant.Line1.Counter \
   --advise Plant.Line2.Pressure --advise Plant.Line2.State --seconds "$seconds" </dev/null) &
client_pid=$!
wait "$client_pid" || true
client_pid=""

shot=${QV_SCREENSHOT:-$QV_BUILD/main-window.png}
mkdir -p "$(dirname "$shot")"
if import -window "$window" "$shot" 2>/dev/null; then
  echo "Screenshot of the main window: $shot"
fi

echo "Closing Quorvane (it saves its configuration)..."
(cd "$bin" && timeout 20 wine ./qvclose.exe Quorvane 15000 </dev/null) || echo "Quorvane did not close in time." >&2
wait "$quorvane_pid" 2>/dev/null || true
quorvane_pid=""
echo "Saved configuration: $bin/quorvane.cfg"
