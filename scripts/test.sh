#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the default build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded fuzz
# run of the reply decoder. Exits non-zero on any failure.
#   QUICK=1 scripts/test.sh       only the default build and its tests
#   FUZZ_SECONDS=N scripts/test.sh  length of the fuzz run (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== default build and tests"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Counts the tests of a ctest run whose output is in $log ("... out of N").
ran() { sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1; }

ctest --preset default -j "$jobs" | tee "$log"
total=$(ran)

if [ "${QUICK:-0}" = 1 ]; then
  echo "tests: ${total} passed, 0 failed"
  exit 0
fi

echo "== sanitizer build and tests (ASan + UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs" | tee "$log"
total=$((total + $(ran)))

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing the reply dispatch for ${FUZZ_SECONDS:-60} s"
  scripts/fuzz.sh
fi

echo "tests: ${total} passed, 0 failed"
