#!/usr/bin/env bash
# Runs every libFuzzer harness of fuzz/ for SECONDS (default 60) each, one
# after another, and prints executions, coverage and findings per harness.
# Builds them first when needed, in the sanitizer build of scripts/test.sh
# (clang, AddressSanitizer + UndefinedBehaviorSanitizer). Each harness starts
# from its seeds in fuzz/corpus/ and from what earlier runs found, kept in
# build/asan/fuzz-corpus/; a finding (crash, sanitizer report, leak, hang,
# memory blow-up) is written to build/asan/fuzz-findings/ and makes the exit
# status non-zero. Keep a finding's input in fuzz/corpus/<harness>/ once it
# is fixed.
#
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
harnesses=(package hdlc receive discovery router_result diag version sim)
build=build/asan

if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^QEL_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  scripts/install-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQEL_FUZZ=ON \
    -DQEL_BUILD_WINDOW=OFF -DQEL_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${harnesses[@]/#/fuzz_}"

mkdir -p "$build/fuzz-findings"
rows=()
failed=0
for h in "${harnesses[@]}"; do
  corpus="$build/fuzz-corpus/$h"
  log="$build/fuzz-findings/$h.log"
  mkdir -p "$corpus"
  rm -f "$build/fuzz-findings/$h-"*
  echo "=== fuzz_$h for ${seconds}s"
  status=0
  "$build/bin/fuzz_$h" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-findings/$h-" "$corpus" "fuzz/corpus/$h" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2 || true)
  findings=$(find "$build/fuzz-findings" -name "$h-*" | wc -l)
  if [ "$status" -ne 0 ] && [ "$findings" -eq 0 ]; then findings=1; fi
  if [ "$findings" -ne 0 ]; then
    failed=1
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -20 || true
  fi
  rows+=("$(printf '%-14s %12s %8s %9s' "$h" "${runs:-0}" "${cov:-?}" "$findings")")
done

printf '%-14s %12s %8s %9s\n' harness executions coverage findings
printf '%s\n' "${rows[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found faults: inputs and logs in $build/fuzz-findings/" >&2
  exit 1
fi
