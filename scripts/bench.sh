#!/usr/bin/env bash
# Measures the utility and prints one table: for each measurement its
# baseline measured in the same run, the target, the result, and whether the
# target was met. Medians of several runs (RUNS, default 7) and ratios against
# the baseline, since this machine's speed varies from minute to minute.
#
#   scripts/bench.sh            build what it needs into build/default and measure
#
# The namespace rows (discovery, start-up, memory, socket throughput, the flood)
# need root: a LAN of network namespaces with appliance-sim on port 777 (the PC
# at 10.77.0.1, appliances from 10.77.0.2, a stranger at 10.77.0.66), made here
# and removed on every way out. Without root those rows say they were skipped.
# Takes about three minutes.
set -u
cd "$(dirname "$0")/.."
runs=${RUNS:-7}
build=build/default

scripts/install-deps.sh || exit 1
export QT_QPA_PLATFORM=offscreen
echo "bench: building" >&2
{ cmake --preset default >/dev/null &&
    cmake --build --preset default --target varn-bench bench-window varn-bench-dispatch \
        appliance-sim >/dev/null; } || {
    echo "bench: the build failed" >&2
    exit 1
}
bench=$build/bench
sim=$build/tools/appliance-sim/appliance-sim

rows=()
notes=()
row() { rows+=("$1|$2|$3|$4|$5"); }
# The value of KEY in the output of a measurement ("KEY VALUE" lines).
value() { awk -v k="$1" '$1 == k { print $2; exit }' <<<"$2"; }
# Median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo missed; fi; }

# --- In process: the reply dispatch against a bare copy-and-switch loop.
echo "bench: dispatchReply" >&2
out=$("$bench/varn-bench-dispatch" --benchmark_color=false 2>/dev/null)
dispatch=$(awk '$1 == "median_items_per_s" && $2 == "BM_DispatchReply" { print $3 }' <<<"$out")
copy=$(awk '$1 == "median_items_per_s" && $2 == "BM_CopyAndSwitch" { print $3 }' <<<"$out")
if [ -n "$dispatch" ] && [ -n "$copy" ]; then
    row "\`dispatchReply\`, realistic mix (discovery, status, configuration, junk)" \
        "copy-and-switch loop: $(calc %.0f "$copy / 1e6") M/s" "> 1 M datagrams/s per core" \
        "$(calc %.2f "$dispatch / 1e6") M/s ($(calc %.3f "$dispatch / $copy") x the loop)" \
        "$(verdict "$dispatch > 1e6")"
else
    row "\`dispatchReply\`, realistic mix" "-" "> 1 M datagrams/s per core" "no result" "missed"
fi

namespace_rows=("Discovery of 1, 10, 50 appliances" "Exec to the Device List shown"
    "Exec to the first appliance visible" "Peak resident memory, 50 appliances listed"
    "Socket to handler, datagrams/s without loss" "Event-loop latency under a 20,000/s flood")
skip_namespaces() {
    for r in "${namespace_rows[@]}"; do row "$r" "-" "-" "skipped: $1" "skipped"; done
}

tag="$$-${RANDOM}"
pc="varn-bench-pc-$tag"
lan="varn-bench-lan-$tag"
work=$(mktemp -d)
simpid=""
# The namespace tests' helpers; bench skips its rows instead of exiting where
# they would, so it makes its LAN itself.
. tests/netns_common.sh
stop_sim() {
    netns_stop "$simpid"
    simpid=""
}
cleanup() {
    stop_sim
    ip netns del "$pc" 2>/dev/null
    ip netns del "$lan" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Starts appliance-sim in the LAN with N appliances BENCH-01... (0: its three
# built-in ones) at 10.77.0.2 on.
start_sim() {
    stop_sim
    local args=(--port 777 --base-address 10.77.0.2 --log /dev/null)
    if [ "$1" -gt 0 ]; then
        {
            printf '{ "appliances": ['
            for i in $(seq "$1"); do
                [ "$i" -gt 1 ] && printf ', '
                printf '{ "name": "BENCH-%02d" }' "$i"
            done
            printf '] }\n'
        } >"$work/scenario.json"
        args+=(--scenario "$work/scenario.json")
    fi
    ip netns exec "$lan" "$sim" "${args[@]}" >"$work/sim.out" 2>&1 &
    simpid=$!
    netns_sim_started "$work/sim.out" && return 0
    echo "bench: appliance-sim did not start: $(cat "$work/sim.out")" >&2
    return 1
}

make_lan() {
    ip netns add "$pc" 2>"$work/err" || return 1
    ip netns add "$lan" 2>>"$work/err" || return 1
    (
        set -e
        netns_wire "$pc" vpc0 "$lan" vlan0
        ip -n "$pc" addr add 10.77.0.1/24 dev vpc0
        for i in $(seq 2 51) 66; do ip -n "$lan" addr add "10.77.0.$i/24" dev vlan0; done
        for ns in "$pc" "$lan"; do ip -n "$ns" link set lo up; done
        ip -n "$pc" route add default dev vpc0
    ) 2>>"$work/err"
}

if [ "$(id -u)" -ne 0 ]; then
    skip_namespaces "needs root (network namespaces, port 777)"
elif ! command -v ip >/dev/null 2>&1; then
    skip_namespaces "the ip command (iproute2) is not installed"
elif ! make_lan; then
    skip_namespaces "cannot make network namespaces here: $(head -n 1 "$work/err")"
else
    # --- Discovery: first broadcast to the complete list painted.
    for n in 1 10 50; do
        echo "bench: discovery of $n" >&2
        start_sim "$n" || exit 1
        out=$(ip netns exec "$pc" "$bench/varn-bench" discovery --expect "$n" --runs "$runs" 2>/dev/null)
        floor=$(value floor_ms "$out")
        complete=$(value complete_ms "$out")
        worst=$(value complete_worst_ms "$out")
        sweep=$(value sweep_ms "$out")
        every=$(value every_run_complete "$out")
        if [ -z "$complete" ]; then
            row "Discovery of $n appliances" "-" "median <= 250 ms, all listed every run" \
                "no result: $(tail -n 1 <<<"$out")" "missed"
            continue
        fi
        ok=$(verdict "$complete <= 250")
        [ "$every" = yes ] || ok=missed
        row "Discovery of $n appliance$([ "$n" -gt 1 ] && echo s), first broadcast to complete list on screen" \
            "protocol floor (two 100 ms ticks): $floor ms" \
            "median <= 250 ms, every appliance listed in every run" \
            "median $complete ms, worst $worst ms, all listed in every run: $every (the sweep itself ends at $sweep ms)" \
            "$ok"
    done

    # --- Start-up, against a minimal Qt program's window of the same size.
    echo "bench: start-up" >&2
    start_sim 0 || exit 1
    launch=("$bench/varn-bench" launch --netns "$pc" --)
    "${launch[@]}" "$bench/varn-bench" app --expect 3 >"$work/warm" 2>/dev/null # caches warm
    size=$(value size "$(cat "$work/warm")")
    "${launch[@]}" "$bench/bench-window" --size "${size:-388x242}" >/dev/null 2>&1
    : >"$work/app"
    : >"$work/base"
    : >"$work/text"
    : >"$work/frame"
    for _ in $(seq "$runs"); do
        "${launch[@]}" "$bench/varn-bench" app --expect 3 2>/dev/null >>"$work/app"
        "${launch[@]}" "$bench/bench-window" --size "${size:-388x242}" 2>/dev/null >>"$work/base"
        "${launch[@]}" "$bench/bench-window" --size "${size:-388x242}" --text "Device List" \
            2>/dev/null >>"$work/text"
        "${launch[@]}" "$bench/bench-window" --maximized --picture res/setting.png \
            --text "Device List" 2>/dev/null >>"$work/frame"
    done
    shown=$(awk '$1 == "shown_ms" { print $2 }' "$work/app" | median)
    first=$(awk '$1 == "first_ms" { print $2 }' "$work/app" | median)
    frame=$(awk '$1 == "frame_ms" { print $2 }' "$work/app" | median)
    base=$(awk '$1 == "shown_ms" { print $2 }' "$work/base" | median)
    textbase=$(awk '$1 == "shown_ms" { print $2 }' "$work/text" | median)
    framebase=$(awk '$1 == "shown_ms" { print $2 }' "$work/frame" | median)
    notes+=("Start-up, medians of $runs: the utility first paints its maximized main frame (the picture, the menu) at $frame ms, the Device List at $shown ms, the first appliance at $first ms. The minimal program paints its small empty window at $base ms, the same window with one line of text at $textbase ms (the font machinery loaded), and a maximized window with the picture and a line of text, which is what the utility paints first, at $framebase ms.")
    rtt=$(value rtt_ms "$(ip netns exec "$pc" "$bench/varn-bench" rtt --to 10.77.0.2 2>/dev/null)")
    if [ "$shown" != - ] && [ "$base" != - ] && [ -n "$rtt" ]; then
        row "Exec to the Device List window shown" \
            "minimal Qt Widgets program, one empty ${size} window: $base ms" "<= 1.5 x" \
            "$shown ms = $(calc %.2f "$shown / $base") x" "$(verdict "$shown <= 1.5 * $base")"
        row "Exec to the first appliance visible" \
            "the same program: $base ms; one round trip: $rtt ms" \
            "<= 2 x + one round trip = $(calc %.1f "2 * $base + $rtt") ms" \
            "$first ms = $(calc %.2f "$first / $base") x" \
            "$(verdict "$first <= 2 * $base + $rtt")"
    else
        row "Exec to the Device List window shown" "-" "<= 1.5 x" "no result" "missed"
        row "Exec to the first appliance visible" "-" "<= 2 x plus one round trip" "no result" "missed"
    fi

    # --- Peak resident memory with 50 appliances listed.
    echo "bench: memory" >&2
    start_sim 50 || exit 1
    : >"$work/app"
    : >"$work/base"
    : >"$work/text"
    for _ in $(seq 3); do
        "${launch[@]}" "$bench/varn-bench" app --expect 50 --hold-ms 500 2>/dev/null >>"$work/app"
        "${launch[@]}" "$bench/bench-window" --maximized --picture res/setting.png --hold-ms 500 \
            2>/dev/null >>"$work/base"
        "${launch[@]}" "$bench/bench-window" --maximized --picture res/setting.png \
            --text "Device List" --hold-ms 500 2>/dev/null >>"$work/text"
    done
    peak=$(awk '$1 == "peak_kib" { print $2 }' "$work/app" | median)
    basepeak=$(awk '$1 == "peak_kib" { print $2 }' "$work/base" | median)
    textpeak=$(awk '$1 == "peak_kib" { print $2 }' "$work/text" | median)
    notes+=("Memory: the minimal program maximized with the picture peaks at $(calc %.1f "$basepeak / 1024") MiB; drawing one line of text as well takes it to $(calc %.1f "$textpeak / 1024") MiB (FreeType, HarfBuzz, fontconfig and a font file mapped). Against that the utility with 50 appliances listed is $(calc %.2f "$peak / $textpeak") x.")
    if [ "$peak" != - ] && [ "$basepeak" != - ]; then
        row "Peak resident memory, 50 appliances listed" \
            "the same minimal program, maximized, showing one picture: $(calc %.1f "$basepeak / 1024") MiB" \
            "<= 1.3 x" "$(calc %.1f "$peak / 1024") MiB = $(calc %.2f "$peak / $basepeak") x" \
            "$(verdict "$peak <= 1.3 * $basepeak")"
    else
        row "Peak resident memory, 50 appliances listed" "-" "<= 1.3 x" "no result" "missed"
    fi

    # --- Socket to handler: 100,000 replies/s for 10 s into the running program.
    echo "bench: socket to handler" >&2
    start_sim 0 || exit 1
    flood=(ip netns exec "$pc" "$bench/varn-bench" flood --expect 3 --flood-netns "$lan"
        --sources 10.77.0.66,10.77.0.2 --target 10.77.0.1)
    out=$("${flood[@]}" --rate 100000 --seconds 10 --idle-seconds 1 2>/dev/null)
    rate=$(value sent_per_s "$out")
    dropped=$(value dropped "$out")
    percpu=$(value datagrams_per_cpu_s "$out")
    if [ -n "$rate" ] && [ -n "$dropped" ]; then
        row "Socket to handler, whole program, datagrams/s without loss" "none" \
            ">= 100,000/s held for 10 s" \
            "$rate/s for 10 s, $dropped dropped at the socket; $(calc %.2f "${percpu:-0} / 1e6") M/s per CPU-second of the main thread" \
            "$(verdict "$rate >= 100000 * 0.99 && $dropped == 0")"
    else
        row "Socket to handler, whole program, datagrams/s without loss" "none" \
            ">= 100,000/s held for 10 s" "no result: $(tail -n 1 <<<"$out")" "missed"
    fi

    # --- Event-loop latency under a 20,000/s mixed flood for 10 s.
    echo "bench: flood" >&2
    out=$("${flood[@]}" --rate 20000 --seconds 10 --idle-seconds 10 2>/dev/null)
    p99=$(value flood_p99_ms "$out")
    if [ -n "$p99" ]; then
        grown=$(value rss_growth_kib "$out")
        dropped=$(value dropped "$out")
        sweeps=$(value sweeps "$out")
        complete=$(value sweeps_complete "$out")
        ok=$(verdict "$p99 < 50 && $grown < 4096 && $dropped == 0 && $sweeps > 0 && $complete == $sweeps")
        row "Event-loop latency under a 20,000 datagrams/s mixed flood for 10 s" \
            "idle: p50 $(value idle_p50_ms "$out") ms, p99 $(value idle_p99_ms "$out") ms" \
            "p99 < 50 ms, memory flat, no real reply lost" \
            "p50 $(value flood_p50_ms "$out") ms, p99 $p99 ms, max $(value flood_max_ms "$out") ms; resident memory ${grown} KiB more; $dropped dropped; $complete of $sweeps sweeps listed every appliance" \
            "$ok"
    else
        row "Event-loop latency under a 20,000 datagrams/s mixed flood for 10 s" "-" \
            "p99 < 50 ms, memory flat, no real reply lost" "no result: $(tail -n 1 <<<"$out")" "missed"
    fi
fi

echo
echo "| What | Baseline in the same run | Target | Result | |"
echo "|---|---|---|---|---|"
for r in "${rows[@]}"; do
    IFS='|' read -r what baseline target result verdict <<<"$r"
    echo "| $what | $baseline | $target | $result | $verdict |"
done
if [ ${#notes[@]} -gt 0 ]; then
    echo
    echo "Measured alongside, to explain the ratios:"
    for n in "${notes[@]}"; do echo "- $n"; done
fi
echo
echo "Load average during the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores."
