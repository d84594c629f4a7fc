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
