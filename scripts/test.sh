#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the formatting check
# (.clang-format) of src/, tools/ and tests/, the default build with warnings as
# errors, static analysis (clang-tidy, .clang-tidy) of src/ and tools/, the same tests under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, and a bounded
# fuzz run of the reply dispatch and of the requests. Exits non-zero on any
# failure or finding.
#   QUICK=1 scripts/test.sh       only the default build and its tests
#   FUZZ_SECONDS=N scripts/test.sh  length of the fuzz runs in all (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== formatting (clang-format)"
git ls-files 'src/*.h' 'src/*.cpp' 'tools/*.h' 'tools/*.c' 'tools/*.cpp' 'tests/*.h' 'tests/*.cpp' |
  xargs clang-format --dry-run -Werror
echo "clang-format: clean"

echo "== default build and tests"
# Warnings fail the build here; a developer's own build only shows them.
cmake --preset default -DVARN_WERROR=ON >/dev/null
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

echo "== static analysis (clang-tidy)"
# The project's own sources only: generated moc and uic files are not ours.
tidy=0
git ls-files 'src/*.cpp' 'tools/*.c' 'tools/*.cpp' |
  xargs -P "$jobs" -n 4 clang-tidy -p build/default --quiet >"$log" 2>&1 || tidy=$?
# Without the counts of what was suppressed in system headers.
grep -Ev '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' "$log" || true
if [ "$tidy" -ne 0 ] || grep -Eq ': (warning|error):' "$log"; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: clean"

echo "== sanitizer build and tests (ASan + LSan + UBSan)"
cmake --preset sanitize -DVARN_WERROR=ON >/dev/null
cmake --build --preset sanitize -j "$jobs"
# The test preset sets ASAN_OPTIONS, LSAN_OPTIONS (tests/lsan.supp: leaks inside
# system libraries only) and UBSAN_OPTIONS.
ctest --preset sanitize -j "$jobs" | tee "$log"
total=$((total + $(ran)))

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing for ${FUZZ_SECONDS:-60} s"
  scripts/fuzz.sh
fi

echo "tests: ${total} passed, 0 failed"
