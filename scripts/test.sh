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
ctest --preset default -j "$jobs"

if [ "${QUICK:-0}" = 1 ]; then
  exit 0
fi

echo "== sanitizer build and tests (ASan + UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs"

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing the reply dispatch for ${FUZZ_SECONDS:-60} s"
  scripts/fuzz.sh
fi
