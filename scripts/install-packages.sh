#!/usr/bin/env bash
# Installs with apt-get those of the named Debian packages that are missing:
#   install-packages.sh [--no-install-recommends] PACKAGE...
set -euo pipefail
options=()
[ "${1:-}" = --no-install-recommends ] && { options+=("$1"); shift; }
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
