#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and is missing.
set -euo pipefail
exec "$(dirname "$0")/install-packages.sh" cmake g++ clang libclang-rt-14-dev make pkg-config googletest libgtest-dev \
  libgmock-dev libbenchmark-dev libcli11-dev libboost-dev qt6-base-dev libgl-dev xvfb xauth iproute2 util-linux python3 \
  nlohmann-json3-dev tmux help2man librsvg2-bin dpkg-dev file man-db mount lintian desktop-file-utils appstream
