#!/usr/bin/env bash
# Builds everything and shows a whole Check and Upgrade against the bundled
# gateway simulator on loopback, with five sample packages made on the spot.
# Nothing leaves the machine: the simulator serves loopback only and the tool
# broadcasts to 127.255.255.255.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/normal -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)"
exec scripts/demo-run.sh build/normal/bin "$@"
