#!/usr/bin/env bash
# Registers the OPC proxy/stub DLL and the simulation server, with all four of its classes
# (/All: also the no-browse and the DA 1.0-only one), in the current Wine prefix
# (run after qv_env_start, or with WINEPREFIX set). Uses $QV_BUILD/win/bin (default ./build).
# Registering twice is harmless. Exits non-zero when a step fails or the entries are missing.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${QV_BUILD:-$root/build}/win/bin
ps="$bin/QuorvaneOpcPS.dll"
server="$bin/QuorvaneSim.exe"

for f in "$ps" "$server"; do
  [ -f "$f" ] || { echo "register.sh: $f is missing (build the win targets QuorvaneOpcPS and QuorvaneSim)" >&2; exit 1; }
done

wine regsvr32 /s "$ps" </dev/null || { echo "register.sh: regsvr32 $ps failed ($?)" >&2; exit 1; }
wine "$server" /RegServer /All </dev/null || { echo "register.sh: $server /RegServer /All failed ($?)" >&2; exit 1; }

# Check what a client needs: the ProgIDs and the proxy for IOPCServer.
check() {
  wine reg query "$1" </dev/null >/dev/null 2>&1 || { echo "register.sh: registry key $1 not found after registration" >&2; exit 1; }
}
check 'HKCR\Quorvane.Simulation.1\CLSID'
check 'HKCR\Quorvane.SimulationFlat.1\CLSID'
check 'HKCR\Quorvane.SimulationNoBrowse.1\CLSID'
check 'HKCR\Quorvane.SimulationDA1.1\CLSID'
check 'HKCR\Interface\{39C13A4D-011E-11D0-9675-0020AFD8ADB3}\ProxyStubClsid32'
echo "register.sh: registered $(basename "$ps") and $(basename "$server") in ${WINEPREFIX:-the default prefix}"
