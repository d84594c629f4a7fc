#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset, clang with ASan and UBSan) and
# fuzzes them one after the other for FUZZ_SECONDS seconds in all (default 60):
# two thirds to the reply dispatch (fuzz_dispatch), one third to the requests
# against the simulator's decoder (fuzz_requests). Each starts from a copy of
# its seed corpus. Exits non-zero on any finding; the input that found it is
# kept under build/fuzz/artifacts/.
#   FUZZ_KEEP=1 scripts/fuzz.sh   merges what the runs found into
#                                 fuzz/corpus/<target> (only inputs that add coverage)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_dispatch fuzz_requests -j 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"

# The code under test takes a fresh datagram buffer for every request and
# reply; ASan's default 256 MB quarantine makes each of them touch new pages.
# 16 MB still holds thousands of freed buffers, far more than one input frees.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

dispatch_seconds=$((seconds * 2 / 3))
[ "$dispatch_seconds" -ge 1 ] || dispatch_seconds=1
requests_seconds=$((seconds - dispatch_seconds))
[ "$requests_seconds" -ge 1 ] || requests_seconds=1

failed=0
fuzz() { # target seconds
    local target=$1 secs=$2 corpus=fuzz/corpus/${1#fuzz_} status=0
    mkdir -p "$work/$target"
    cp "$corpus"/* "$work/$target/"
    echo "fuzz: $target for ${secs} s"
    "build/fuzz/fuzz/$target" "$work/$target" \
        -max_total_time="$secs" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -error_exitcode=77 -timeout_exitcode=78 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "fuzz: $target found a fault (exit $status); inputs in $artifacts" >&2
        failed=1
        return
    fi
    if [ "${FUZZ_KEEP:-0}" = 1 ]; then
        local before
        before=$(ls "$corpus" | wc -l)
        if ! "build/fuzz/fuzz/$target" -merge=1 "$corpus" "$work/$target" >"$work/merge.log" 2>&1; then
            cat "$work/merge.log" >&2
            echo "fuzz: merging the corpus of $target failed" >&2
            failed=1
            return
        fi
        echo "fuzz: $target corpus kept: $before -> $(ls "$corpus" | wc -l) inputs in $corpus"
    fi
}

fuzz fuzz_dispatch "$dispatch_seconds"
fuzz fuzz_requests "$requests_seconds"

if [ "$failed" -ne 0 ]; then
    exit 1
fi
echo "fuzz: clean"
