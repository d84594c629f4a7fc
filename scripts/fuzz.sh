#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset, clang with ASan and UBSan) and
# fuzzes the reply dispatch for FUZZ_SECONDS seconds (default 60), starting from
# a copy of the seed corpus. Exits non-zero on any finding; the crashing input
# is kept under build/fuzz/artifacts/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_dispatch -j 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r fuzz/corpus/dispatch "$work/corpus"
artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"

echo "fuzz: fuzz_dispatch for ${seconds} s"
status=0
build/fuzz/fuzz/fuzz_dispatch "$work/corpus" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -error_exitcode=77 -timeout_exitcode=78 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" || status=$?

if [ "$status" -ne 0 ]; then
    echo "fuzz: fuzz_dispatch found a fault (exit $status); inputs in $artifacts" >&2
    exit 1
fi
echo "fuzz: clean"
