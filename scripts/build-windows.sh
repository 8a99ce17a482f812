#!/usr/bin/env bash
# Cross-builds the window, the terminal program and the gateway simulator
# for 64-bit Windows with mingw-w64 and packs them, with a short README.txt,
# into build/windows/qel-windows.zip. The executables are linked statically:
# an unpacked QelUpgrade.exe runs on a Windows machine with nothing else
# installed.
#
#   scripts/build-windows.sh            # build/windows/qel-windows.zip
#   QEL_JOBS=1 scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-windows-deps.sh
build=build/windows
jobs=${QEL_JOBS:-$(nproc)}
# The linker and strip stamp each executable with this time rather than the
# current one, and the zip's entries carry it too: the same commit gives the
# same zip.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}

# No debug information: it makes the compile a third slower, and the
# shipped programs are stripped of it anyway.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target QelUpgrade qel qel-gateway-sim

stage=$build/zip/qel-windows
rm -rf "$build/zip" "$build/qel-windows.zip"
mkdir -p "$stage"
for program in QelUpgrade qel qel-gateway-sim; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/bin/$program.exe"
done
# The executables import system DLLs only; anything else would have to ship.
if x86_64-w64-mingw32-objdump -p "$stage"/*.exe | grep 'DLL Name' | grep -viE \
     'KERNEL32|msvcrt|WS2_32|IPHLPAPI|ADVAPI32|SHELL32|ole32|USER32|GDI32|COMCTL32|VERSION|api-ms-win'; then
  echo "build-windows.sh: the programs need a DLL that Windows does not have (above)" >&2
  exit 1
fi
# Windows' own line ends for the one text file.
sed 's/$/\r/' packaging/windows/README.txt > "$stage/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage" "$stage"/*
(cd "$build/zip" && zip -q -X -r ../qel-windows.zip qel-windows)
echo "$build/qel-windows.zip:"
unzip -l "$build/qel-windows.zip"
