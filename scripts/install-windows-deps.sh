#!/usr/bin/env bash
# Installs, with apt-get, what the Windows build and its tests under Wine
# need and is missing: the mingw-w64 cross compiler (POSIX threads flavour,
# for std::thread), 64-bit Wine without its desktop extras, zip for the
# package, the sources and headers the cross build compiles against, the
# locale data Wine's Chinese code page is made from, icoutils to make the
# window's icons, and for the window's tests an X server (Xvfb), the X
# libraries Wine's display driver loads, xdotool to press keys and
# ImageMagick to take a screenshot.
set -euo pipefail
# Wine's recommends pull in about seventy desktop and media packages
# (GStreamer, Mesa, fonts) that console programs never load.
exec "$(dirname "$0")/install-packages.sh" --no-install-recommends cmake make g++-mingw-w64-x86-64-posix wine64 zip \
  googletest libcli11-dev nlohmann-json3-dev libboost-dev util-linux iproute2 locales icoutils \
  xvfb xauth xdotool imagemagick libxext6 libxrender1 libxi6 libxrandr2 libxcursor1 libxcomposite1 libxinerama1 \
  libxfixes3 libfreetype6 libfontconfig1 fonts-wine
