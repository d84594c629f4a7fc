#!/usr/bin/env bash
# A LAN that loses, repeats and reorders datagrams: the PC in one network
# namespace, the simulated appliances in another on port 777, and between them
# a third that holds frame-relay, joined to each end by a veth pair. The relay
# passes ARP untouched and spoils IPv4 frames as each phase asks; the test
# binary runs in the PC's namespace once per phase with the test functions the
# phase names (QtTest's command line). Addresses come from 10.77.0.0/24 and
# exist only inside the namespaces this script makes; everything is removed on
# every way out.
#
# Usage: faulty_lan.sh APPLIANCE_SIM FRAME_RELAY TEST_BINARY PHASE...
#   PHASE is RELAY_OPTIONS:FUNCTION[,FUNCTION...] (the relay's seed is the phase
#   number unless the options name one), e.g.
#   "--drop 0.3:discoveryUnderLoss,configurationUnderLoss"
# Exits 77 (skipped) when not root or when namespaces cannot be made here.
set -u

sim=${1:?usage: faulty_lan.sh APPLIANCE_SIM FRAME_RELAY TEST_BINARY PHASE...}
relay=${2:?usage: faulty_lan.sh APPLIANCE_SIM FRAME_RELAY TEST_BINARY PHASE...}
tests=${3:?usage: faulty_lan.sh APPLIANCE_SIM FRAME_RELAY TEST_BINARY PHASE...}
shift 3
[ $# -gt 0 ] || {
    echo "faulty_lan.sh: name at least one phase"
    exit 2
}

. "$(dirname "$0")/../netns_common.sh"

tag="$$-${RANDOM}"
pc="varn-faults-pc-$tag"
mid="varn-faults-mid-$tag"
lan="varn-faults-lan-$tag"
relaypid=""
netns_setup "$pc" "$mid" "$lan"
trap 'netns_stop "$relaypid"; netns_cleanup' EXIT

set -e
# The middle is a wire: no addresses, nothing of its own on the wire.
ip netns exec "$mid" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
ip netns exec "$mid" sysctl -qw net.ipv6.conf.default.disable_ipv6=1
netns_wire "$pc" vpc0 "$mid" vmid0
netns_wire "$mid" vmid1 "$lan" vlan0
ip -n "$pc" addr add 10.77.0.1/24 dev vpc0
for i in 2 3 4; do
    ip -n "$lan" addr add "10.77.0.$i/24" dev vlan0
done
# The PC learns its address by connecting to 255.255.255.255, which needs a route.
ip -n "$pc" route add default dev vpc0
set +e

netns_start_sim "$lan" "$sim" sim --port 777 --base-address 10.77.0.2
work=$netns_work

rc=0
phase_number=0
for phase in "$@"; do
    phase_number=$((phase_number + 1))
    options=${phase%%:*}
    functions=${phase#*:}
    # shellcheck disable=SC2086 # the options are words
    ip netns exec "$mid" "$relay" --between vmid0,vmid1 --seed "$phase_number" $options \
        >"$work/relay.out" 2>&1 &
    relaypid=$!
    for _ in $(seq 50); do
        grep -q "^frame-relay between" "$work/relay.out" 2>/dev/null && break
        sleep 0.05
    done
    if ! grep -q "^frame-relay between" "$work/relay.out"; then
        echo "frame-relay did not start:"
        cat "$work/relay.out"
        exit 1
    fi
    echo "== $(head -n 1 "$work/relay.out")"
    # shellcheck disable=SC2086 # one argument per test function
    ip netns exec "$pc" env VARN_FAULTY_LAN=10.77.0.2,10.77.0.3,10.77.0.4 \
        QT_QPA_PLATFORM=offscreen "$tests" ${functions//,/ }
    status=$?
    netns_stop "$relaypid"
    relaypid=""
    tail -n 2 "$work/relay.out"
    if [ "$status" -ne 0 ]; then
        rc=$status
        echo "--- simulator log (last 40 lines) ---"
        tail -n 40 "$work/sim.log"
    fi
done
exit "$rc"
