#!/usr/bin/env bash
# Shows a whole Check and Upgrade without hardware: makes five sample
# packages with `qel package make` in a scratch directory, starts the gateway
# simulator on loopback, and opens the window against it. Without a display
# it runs `qel check` and `qel upgrade` with the same options instead.
# Nothing leaves the machine: the simulator serves loopback only and the tool
# broadcasts to 127.255.255.255.
#
# Usage: scripts/demo-run.sh <bindir>
set -euo pipefail
bindir=$(cd "${1:?usage: $0 <bindir>}" && pwd)
scale=10

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qel-demo-XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# A port free for both TCP and UDP on loopback.
free_port() {
  python3 - <<'PY'
import socket
while True:
    t = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    t.bind(("127.0.0.1", 0))
    port = t.getsockname()[1]
    u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        u.bind(("0.0.0.0", port))
        print(port)
        break
    except OSError:
        pass
    finally:
        u.close()
        t.close()
PY
}
port=$(free_port)

# Five sample packages fitting the simulator's installed versions
# (router 1.2.3.4, firmware 2.1.0.7, dashboard 3.0.1.2).
echo "Making five sample packages in $scratch"
make_package() {  # kind version bytes address
  local data="$scratch/$1.data"
  head -c "$3" /dev/urandom > "$data"
  "$bindir/qel" package make --kind "$1" --version "$2" --unit "$4:$data" -o "$scratch/$1.bin"
  rm -f "$data"
}
make_package boot 1.2.3.5 65536 0
make_package app 1.2.3.6 262144 0
make_package customization 1.2.3.7 32768 0
make_package firmware 2.1.8.0 196608 0x00100000
make_package dashboard 3.0.1.9 65536 0x00800000

mkdir -p "$scratch/record"
echo "Starting qel-gateway-sim on 127.0.0.1 port $port (time scale $scale)"
"$bindir/qel-gateway-sim" --port "$port" --time-scale "$scale" --record "$scratch/record" \
  --new-firmware-version 2.1.8.0 --new-dashboard-version 3.0.1.9 --quiet &
sim_pid=$!
sleep 0.5
kill -0 "$sim_pid" 2>/dev/null || { echo "qel-gateway-sim did not start" >&2; exit 1; }

options=(--dir "$scratch" --broadcast 127.255.255.255 --port "$port" --time-scale "$scale")
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening qel-upgrade: press Check, then Upgrade."
  "$bindir/qel-upgrade" "${options[@]}"
else
  echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are empty): running the same Check and"
  echo "Upgrade with the terminal program:"
  echo "  $bindir/qel check ${options[*]}"
  "$bindir/qel" check "${options[@]}"
  echo "  $bindir/qel upgrade ${options[*]}"
  "$bindir/qel" upgrade "${options[@]}"
fi
echo "The simulator's recordings are in $scratch/record"
