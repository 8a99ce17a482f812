#!/usr/bin/env bash
# The installable software of a build configured with CMAKE_INSTALL_PREFIX=/usr:
# the Debian package and its checkers, its programs unpacked and installed, a
# cmake --install into a scratch prefix. Never runs a Check (no network).
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qel-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
expected=$(echo bin/{qel,qel-gateway-sim,qel-upgrade} share/applications/qel-upgrade.desktop share/doc/qel-upgrade/{changelog.gz,copyright} \
  share/icons/hicolor/{{48x48,128x128,256x256}/apps/qel-upgrade.png,scalable/apps/qel-upgrade.svg} \
  share/man/man1/{qel,qel-gateway-sim,qel-upgrade}.1.gz share/metainfo/example.qelupgrade.QelUpgrade.metainfo.xml)
same_files() {  # tree: holds exactly the expected files
  diff <(echo $expected | tr ' ' '\n' | sort) <(cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
    fail "files under $1"
}

(cd "$build" && cpack -G DEB -B "$scratch/deb" >/dev/null)
deb=$(ls "$scratch"/deb/qel-upgrade_*_"$(dpkg --print-architecture)".deb)
lintian --fail-on error "$deb"
dpkg -x "$deb" "$scratch/root"
same_files "$scratch/root/usr"
desktop-file-validate "$scratch/root/usr/share/applications/qel-upgrade.desktop"
appstreamcli validate --no-net "$scratch"/root/usr/share/metainfo/*.xml >/dev/null
for page in "$scratch"/root/usr/share/man/man1/*; do man -l "$page" 2>/dev/null | grep -q . || fail "man page $page"; done
zgrep -q 'QelUpgrade/packages' "$scratch"/root/usr/share/man/man1/qel.1.gz || fail "qel(1) names no package folder"

bin=$scratch/root/usr/bin
"$bin/qel" --version | grep -qx "qel [0-9.]*"
head -c 5000 /dev/urandom > "$scratch/fw.dat"

# Installed for real: the package's bindir over /usr/bin in a private mount
# namespace. The window starts offscreen, makes the user's package folder at
# its first start and closes itself; qel then reads and finds a package put there.
packages=$scratch/.local/share/QelUpgrade/packages
HOME=$scratch TMPDIR=$scratch QT_QPA_PLATFORM=offscreen QEL_UPGRADE_CLOSE_AFTER_START=1 timeout 120 unshare -m sh -c "
  mount --bind '$bin' /usr/bin && cd / && /usr/bin/qel-upgrade && [ -d '$packages' ] &&
  /usr/bin/qel package make --kind firmware --version 2.1.8.0 --unit '0x100000:$scratch/fw.dat' -o '$packages/fw.bin' &&
  /usr/bin/qel package info '$packages/fw.bin' && /usr/bin/qel package scan" > "$scratch/scan.txt" || fail "installed programs"
grep -q "^Firmware of wireless module *2\.1\.8\.0 *$packages/fw.bin$" "$scratch/scan.txt" || fail "package scan"

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
same_files "$scratch/prefix"
echo "install test passed"
