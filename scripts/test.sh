#!/usr/bin/env bash
# Builds and runs the whole test suite: the Windows cross build's tests under
# Wine (the window's on an X display of their own), the normal build (with
# the Windows programs' cross tests), the clang
# build with AddressSanitizer + UndefinedBehaviorSanitizer (with the fuzz
# harnesses, each run briefly), and the ThreadSanitizer build of the
# transport, the diagnostic exchange and the engine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

# name, test executables to build and run (all when empty), debug
# information flags, cmake options... Full debug information makes the
# compile a third slower, and -O2 a tenth slower than -O1: a failing test's
# report needs no more than line tables, and the sanitizers' reports only
# those. (The shipped programs are built by scripts/package.sh and
# scripts/build-windows.sh.)
run_suite() {
  local name=$1 targets=$2 debug=$3; shift 3
  echo "=== $name build ($(date +%T))"
  cmake -S . -B "build/$name" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG $debug" "$@" >/dev/null
  local labels=""
  if [ -n "$targets" ]; then
    cmake --build "build/$name" -j "$jobs" --target $targets
    labels="^($(echo $targets | tr ' ' '|'))\$"
  else
    cmake --build "build/$name" -j "$jobs"
  fi
  echo "=== $name tests ($(date +%T))"
  (cd "build/$name" && ctest --output-on-failure -j "$jobs" --timeout 300 ${labels:+-L "$labels"})
}

# The Windows programs and their zip, then the Windows tests under Wine,
# inside a network namespace of their own (Wine's sockets live in its
# server's namespace: see cmake/wine-run.sh).
echo "=== windows build ($(date +%T))"
scripts/build-windows.sh >/dev/null
cmake --build build/windows -j "$jobs"
trap 'cmake/wine-run.sh build/windows/wine --stop' EXIT
echo "=== windows tests under Wine ($(date +%T))"
# One at a time: every Wine program's system calls pass through the one Wine
# server, and two test programs at once make the accelerated clock's waits
# late beyond the tests' tolerances.
unshare -n sh -c "ip link set lo up && cd build/windows && ctest --output-on-failure --timeout 300"

# The normal build installs under /usr like the Debian package, so that its
# install test can pack it.
run_suite normal "" "" -DCMAKE_INSTALL_PREFIX=/usr -DQEL_WINDOWS_BUILD_DIR="$PWD/build/windows"
run_suite asan "" -gline-tables-only -DCMAKE_CXX_COMPILER=clang++ -DQEL_FUZZ=ON -DQEL_BUILD_WINDOW=OFF -DQEL_BUILD_BENCHMARKS=OFF
# A harness that no longer builds, or crashes at once, fails the suite.
scripts/fuzz.sh 3
# The threads meet in the transport (ports, channel, queue), the diagnostic
# exchange over it, and the engine.
TSAN_OPTIONS="halt_on_error=1" run_suite tsan "net_tests diag_tests engine_tests" -g1 \
  -DQEL_TSAN=ON -DQEL_BUILD_WINDOW=OFF -DQEL_BUILD_BENCHMARKS=OFF
echo "=== all suites passed ($(date +%T))"
scripts/code-lines.sh
