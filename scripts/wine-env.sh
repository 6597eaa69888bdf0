# Sourced by the test and run commands: a private Wine prefix under the build folder,
# a private Xvfb display and a persistent private wineserver. qv_env_stop ends exactly
# what qv_env_start started (Xvfb by PID, the wineserver of our prefix with -k).
qv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD=${QV_BUILD:-$qv_root/build}
export WINEPREFIX="$QV_BUILD/wineprefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
QV_XVFB_PID=""
QV_WINESERVER_STARTED=""

qv_xvfb_start() {
  # Use the caller's display if asked to (the demo on a desktop), else a private Xvfb.
  if [ -n "${QV_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 91 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    QV_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$QV_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$QV_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"; return 0
    fi
    QV_XVFB_PID=""
  done
  echo "could not start Xvfb" >&2; return 1
}

qv_prefix_init() {
  # A prefix whose creation was interrupted is made anew.
  if [ ! -f "$WINEPREFIX/.quorvane-ready" ]; then
    rm -rf "$WINEPREFIX"; mkdir -p "$QV_BUILD"
    wineboot -i </dev/null >/dev/null 2>&1
    # No window manager on Xvfb: unmanaged windows avoid a 2 s stall on every hide/destroy.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    # A crashing test program must end, not wait in a crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.quorvane-ready"
  fi
}

qv_prefix_fonts() {
  # Debian's Wine does not find the fonts of fonts-wine by itself: without them in the
  # prefix dialogs fall back to another face and caption buttons show letters.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/" 2>/dev/null || true
  fi
}

qv_env_start() {
  qv_xvfb_start || return 1
  qv_prefix_init
  qv_prefix_fonts
  # Persistent server, warmed up outside any pipe: otherwise the helper processes
  # inherit the first pipe and every piped wine run stalls for seconds.
  wineserver -p </dev/null >/dev/null 2>&1
  QV_WINESERVER_STARTED=1
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

qv_env_stop() {
  if [ -n "$QV_WINESERVER_STARTED" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 20 wineserver -w </dev/null >/dev/null 2>&1 || true
    QV_WINESERVER_STARTED=""
  fi
  if [ -n "$QV_XVFB_PID" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
    QV_XVFB_PID=""
  fi
}
