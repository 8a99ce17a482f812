#!/usr/bin/env bash
# Installs, with apt-get, what the Windows build and its tests under Wine
# need and is missing: the mingw-w64 cross compiler (POSIX threads flavour,
# for std::thread), 64-bit Wine without its desktop extras, zip for the
# package, and the sources and headers the cross build compiles against.
set -euo pipefail
packages=(cmake make g++-mingw-w64-x86-64-posix wine64 zip googletest libcli11-dev nlohmann-json3-dev
          libboost-dev util-linux iproute2 locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  # Wine's recommends pull in about seventy desktop and media packages
  # (GStreamer, Mesa, fonts) that console programs never load.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
