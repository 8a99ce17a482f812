#!/usr/bin/env bash
# Installs, with apt-get, what the Windows build and its tests under Wine
# need and is missing: the mingw-w64 cross compiler (POSIX threads flavour,
# for std::thread), 64-bit Wine without its desktop extras, zip for the
# package, the sources and headers the cross build compiles against, and
# the locale data Wine's Chinese code page is made from.
set -euo pipefail
# Wine's recommends pull in about seventy desktop and media packages
# (GStreamer, Mesa, fonts) that console programs never load.
exec "$(dirname "$0")/install-packages.sh" --no-install-recommends cmake make g++-mingw-w64-x86-64-posix wine64 zip \
  googletest libcli11-dev nlohmann-json3-dev libboost-dev util-linux iproute2 locales
