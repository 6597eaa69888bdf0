#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and demo need; does nothing when all are present.
set -euo pipefail
pkgs=(cmake ninja-build clang libclang-rt-14-dev googletest python3
      mingw-w64 mingw-w64-tools g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
      wine wine64 libwine-dev fonts-wine xvfb xdotool imagemagick x11-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
