#!/usr/bin/env bash
# Shows qel station on a bench of simulated gateways, as root, inside private
# network namespaces that it makes and deletes again: the PC's namespace
# "qeldemo-pc" and one per gateway, each gateway a qel-gateway-sim at the
# factory address 192.168.1.1 behind a veth "gw<N>" of its own, the PC's end
# of every cable at 192.168.1.2. Nothing reaches the machine's own network.
# The station watches until Ctrl-C; meanwhile, in another terminal, cable one
# more gateway with:  scripts/station-demo.sh --add N
#
# Usage: scripts/station-demo.sh [GATEWAYS] [BINDIR]    (default: 3, build/normal/bin)
#        scripts/station-demo.sh --add N [BINDIR]
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "run as root: it makes network namespaces" >&2; exit 1; }
cd "$(dirname "$0")/.."
pc=qeldemo-pc
scratch=${TMPDIR:-/tmp}/qel-station-demo

cable() {  # N: the gateway's namespace, its cable and its simulator
  local gw=qeldemo-gw$1
  ip netns add "$gw"
  ip -n "$gw" link set lo up
  ip -n "$pc" link add "gw$1" type veth peer name lan netns "$gw"
  ip -n "$pc" addr add 192.168.1.2/24 dev "gw$1"
  ip -n "$gw" addr add 192.168.1.1/24 dev lan
  ip -n "$pc" link set "gw$1" up
  ip -n "$gw" link set lan up
  ip netns exec "$gw" "$bindir/qel-gateway-sim" --interface lan --mac "02-51-E1-00-00-$(printf %02X "$1")" \
    --time-scale 10 --quiet --new-firmware-version 2.1.8.0 --new-dashboard-version 3.0.1.9 >/dev/null &
}

if [ "${1:-}" = "--add" ]; then
  bindir=$(cd "${3:-build/normal/bin}" && pwd)
  cable "${2:?usage: $0 --add N}"
  echo "gateway $2 cabled as gw$2"
  exit 0
fi

count=${1:-3}
bindir=$(cd "${2:-build/normal/bin}" && pwd)
cleanup() {
  for ns in $(ip netns list | awk '/^qeldemo-/ { print $1 }'); do
    ip netns pids "$ns" | xargs -r kill 2>/dev/null || true
    ip netns del "$ns"
  done
}
trap cleanup EXIT
cleanup
ip netns add "$pc"
ip -n "$pc" link set lo up
mkdir -p "$scratch"
make_package() {  # kind version bytes address
  head -c "$3" /dev/urandom > "$scratch/$1.data"
  "$bindir/qel" package make --kind "$1" --version "$2" --unit "$4:$scratch/$1.data" -o "$scratch/$1.bin" >/dev/null
}
make_package boot 1.2.3.5 65536 0
make_package app 1.2.3.6 262144 0
make_package firmware 2.1.8.0 1048576 0x00100000
make_package dashboard 3.0.1.9 65536 0x00800000
for n in $(seq "$count"); do cable "$n"; done
sleep 0.5
echo "$count gateways cabled; the logs go to $scratch/QelUpgradeLog-<MAC>.txt"
ip netns exec "$pc" env TMPDIR="$scratch" "$bindir/qel" station --dir "$scratch" --time-scale 10 || true
