# Shared by the tests that make network namespaces; sourced, not run.

# Exits 77 (skipped) unless namespaces can be made here: root, the ip command,
# and a first namespace NAME that can be added (its error is written to ERRFILE).
netns_require() { # NAME ERRFILE
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIPPED: creating network namespaces needs root"
        exit 77
    fi
    if ! command -v ip >/dev/null 2>&1; then
        echo "SKIPPED: the ip command (iproute2) is not installed"
        exit 77
    fi
    if ! ip netns add "$1" 2>"$2"; then
        echo "SKIPPED: cannot create a network namespace here: $(cat "$2")"
        exit 77
    fi
}

# True once appliance-sim has printed its start-up line into FILE (5 s at most).
netns_sim_started() { # FILE
    for _ in $(seq 50); do
        grep -q "listening on" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# What a test made, removed on every way out by netns_cleanup: its namespaces,
# the processes it started in them, and its work folder $netns_work.
netns_names=()
netns_pids=()
netns_work=""

# Makes the work folder and the namespaces, each with its loopback up, and the
# traps that remove them all. Exits 77 (skipped) as netns_require does.
netns_setup() { # NAME...
    netns_work=$(mktemp -d)
    trap netns_cleanup EXIT
    trap 'exit 1' INT TERM HUP
    netns_names=("$1")
    netns_require "$1" "$netns_work/err"
    local ns
    for ns in "${@:2}"; do
        ip netns add "$ns" || exit 1
        netns_names+=("$ns")
    done
    for ns in "$@"; do ip -n "$ns" link set lo up || exit 1; done
}

# Ends a process this script started, if any.
netns_stop() { # PID
    if [ -n "$1" ]; then
        kill "$1" 2>/dev/null
        wait "$1" 2>/dev/null
    fi
}

netns_cleanup() {
    local pid ns
    for pid in "${netns_pids[@]}"; do netns_stop "$pid"; done
    for ns in "${netns_names[@]}"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$netns_work"
}

# A veth pair from NS1's DEV1 to NS2's DEV2, both ends up.
netns_wire() { # NS1 DEV1 NS2 DEV2
    ip link add "$2" netns "$1" type veth peer name "$4" netns "$3" &&
        ip -n "$1" link set "$2" up && ip -n "$3" link set "$4" up
}

# Starts appliance-sim in NS with ARGS, its output in $netns_work/NAME.out and
# its log in $netns_work/NAME.log; exits 1, showing the output, if it does not start.
netns_start_sim() { # NS SIM NAME ARGS...
    local out="$netns_work/$3.out"
    ip netns exec "$1" "$2" --log "$netns_work/$3.log" "${@:4}" >"$out" 2>&1 &
    netns_pids+=($!)
    netns_sim_started "$out" && return 0
    echo "appliance-sim did not start in $3:"
    cat "$out"
    exit 1
}
