#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and is missing.
set -euo pipefail
packages=(cmake g++ clang libclang-rt-14-dev make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev libboost-dev qt6-base-dev libgl-dev xvfb xauth iproute2 util-linux python3
          nlohmann-json3-dev help2man librsvg2-bin dpkg-dev file man-db mount lintian desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
