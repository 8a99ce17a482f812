#!/usr/bin/env bash
# Builds the Debian package qel-upgrade_<version>_<arch>.deb into the
# project's folder, from the normal build configured to install under /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/normal -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build/normal -j "$(nproc)" --target qel qel-upgrade qel-gateway-sim qel_install_files
rm -rf build/package
(cd build/normal && cpack -G DEB -B "$PWD/../package" >/dev/null)
mv build/package/qel-upgrade_*.deb .
ls qel-upgrade_*.deb
