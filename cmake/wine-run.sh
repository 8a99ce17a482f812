#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh WINEDIR PROGRAM [ARGS...]
# (QEL_WINEDIR overrides WINEDIR). wine-run.sh WINEDIR --stop ends the
# Wine servers of every prefix in WINEDIR at once and removes the prefixes
# of the network namespaces. wine-run.sh WINEDIR --display PROGRAM ...
# runs a window program on the X display of $DISPLAY; without it programs
# get no display.
#
# Wine makes a program's sockets in the process of its prefix's wineserver,
# so they live in whichever network namespace that server was started in,
# not the program's. Each network namespace therefore gets a prefix of its
# own, WINEDIR/net-<namespace inode>: a hard-linked copy of one prefix made
# once (WINEDIR/template), so a program never sends from a namespace other
# than the one it was started in and the slow first start is paid once.
# Wine prints nothing of its own and offers no downloads of its add-ons.
set -e
dir=$(realpath -m "${QEL_WINEDIR:-$1}")
shift
for wine in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  [ -x "$wine" ] && break
done
[ -x "$wine" ] || { echo "wine-run.sh: no wine64 (scripts/install-windows-deps.sh installs it)" >&2; exit 127; }
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's desktop process takes the display of the program that starts its
# server, so programs on a display get prefixes of their own, one per display.
display=""
if [ "${1:-}" = --display ]; then
  shift
  display=-display$(echo "${DISPLAY:?--display needs DISPLAY}" | tr -cd 0-9)
else
  unset DISPLAY
fi
unset WAYLAND_DISPLAY
wineserver=${wine%/*}/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

if [ "${1:-}" = --stop ]; then
  # Each namespace's prefix is made again when next needed: cheap, and no
  # prefix of a namespace long gone is left behind.
  for prefix in "$dir"/net-*; do
    [ -d "$prefix" ] || continue
    WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix" "$prefix.lock"
  done
  exit 0
fi

net=$(readlink /proc/self/ns/net | tr -cd 0-9)
prefix=$dir/net-$net$display
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$dir"
  (
    flock 9
    if [ ! -f "$dir/template/system.reg" ]; then
      rm -rf "$dir/template"
      # Made without any network: nothing in it needs one.
      maker=""
      unshare -n true 2>/dev/null && maker="unshare -n"
      WINEPREFIX="$dir/template" $maker sh -c '"$1" wineboot --init && "$2" -w' - "$wine" "$wineserver" \
        >/dev/null 2>&1 9>&- || { echo "wine-run.sh: wineboot could not make $dir/template" >&2; exit 1; }
    fi
    if [ ! -f "$prefix/system.reg" ]; then
      rm -rf "$prefix.new"
      cp -al "$dir/template" "$prefix.new"
      # The registry is rewritten as Wine runs: each prefix keeps its own.
      for reg in "$prefix.new"/*.reg; do cp --remove-destination "$dir/template/${reg##*/}" "$reg"; done
      mv "$prefix.new" "$prefix"
    fi
  ) 9>"$dir/lock"
fi
export WINEPREFIX="$prefix"
# Programs run with a Chinese code page (936), so that the log's Chinese
# lines are written in a code page that holds them: a locale made once here,
# none of the machine's own changed.
if [ ! -d "$dir/locale/zh_CN.UTF-8" ]; then
  ( flock 9; mkdir -p "$dir/locale"; [ -d "$dir/locale/zh_CN.UTF-8" ] || localedef -i zh_CN -f UTF-8 "$dir/locale/zh_CN.UTF-8" >/dev/null 2>&1 || true ) 9>"$dir/locale.lock"
fi
if [ -d "$dir/locale/zh_CN.UTF-8" ]; then
  export LOCPATH="$dir/locale"
  # A window speaks English: only the code page is Chinese.
  if [ -n "$display" ]; then unset LC_ALL LANGUAGE; export LANG=C LC_CTYPE=zh_CN.UTF-8; else export LC_ALL=zh_CN.UTF-8; fi
fi
# Wine's server and its system programs (services, devices, desktop) take
# about two seconds to start; kept alive between programs, for
# QEL_WINE_PERSIST seconds after the last one ends, a program starts in a
# tenth of one. They are started here with no output of their own, or they
# would hold the first program's stdout open and its reader (ctest, popen)
# would wait for them.
(
  flock 9
  # (Nor may they inherit the lock.)
  if "$wineserver" -p"${QEL_WINE_PERSIST:-15}" </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
