#!/usr/bin/env bash
# Builds and runs the whole test suite: the normal build, the build with
# AddressSanitizer + UndefinedBehaviorSanitizer, and the ThreadSanitizer
# build of the transport (channel, queue, ports) and the engine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

run_suite() {  # name, ctest filter, cmake options...
  local name=$1 filter=$2; shift 2
  echo "=== $name build"
  cmake -S . -B "build/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "build/$name" -j "$jobs"
  echo "=== $name tests"
  (cd "build/$name" && ctest --output-on-failure -j "$jobs" --timeout 300 ${filter:+-L "$filter"})
}

run_suite normal ""
run_suite asan "" -DQEL_SANITIZE=ON -DQEL_BUILD_WINDOW=OFF -DQEL_BUILD_BENCHMARKS=OFF
TSAN_OPTIONS="halt_on_error=1" run_suite tsan "net_tests|engine_tests" -DQEL_TSAN=ON -DQEL_BUILD_WINDOW=OFF -DQEL_BUILD_BENCHMARKS=OFF
echo "=== all suites passed"
