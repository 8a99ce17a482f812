#!/usr/bin/env bash
# Prints the lines of test code and of product code (non-blank, non-comment).
# Test code: every *_test.cpp and everything under tests/ and fuzz/;
# product code: the rest of src/.
set -euo pipefail
cd "$(dirname "$0")/.."

# Counts the lines of the files named on stdin that are neither blank nor a
# comment (// in C++; # in shell, Python and CMake).
count() {
  local total=0 file n
  while IFS= read -r file; do
    case "$file" in
      *.cpp|*.h|*.cc) n=$(grep -cvE '^\s*($|//|/\*|\*)' "$file" || true) ;;
      *) n=$(grep -cvE '^\s*($|#)' "$file" || true) ;;
    esac
    total=$((total + n))
  done
  echo "$total"
}

sources() { git ls-files --cached --others --exclude-standard -- "$@" | grep -E '\.(cpp|h|cc|sh|py|cmake)$|CMakeLists\.txt$' || true; }

tests=$( { sources tests fuzz; sources src | grep -E '_test\.cpp$'; } | count)
product=$(sources src | grep -vE '_test\.cpp$' | count)
echo "lines of test code:    $tests"
echo "lines of product code: $product"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "tests per product line: %.2f (at most 0.50)\n", t / p }'
