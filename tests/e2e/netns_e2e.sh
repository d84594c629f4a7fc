#!/usr/bin/env bash
# Hosts on one machine: the PC in one network namespace, a LAN of simulated
# appliances in another, joined by a veth pair, and a dead end in a third,
# joined to the PC by a second pair, where the tests can move the PC's default
# route. Both sides use the real port 777 and the real broadcast address
# 255.255.255.255. Addresses come from 10.77.0.0/24 (the LAN, with a hostile
# host, the forger, at .66) and 10.77.1.0/24 (the dead end) and exist only
# inside the namespaces this script makes; they are removed on every way out.
#
# Usage: netns_e2e.sh APPLIANCE_SIM E2E_TESTS
# Exits 77 (skipped) when not root or when namespaces cannot be made here.
set -u

sim=${1:?usage: netns_e2e.sh APPLIANCE_SIM E2E_TESTS}
tests=${2:?usage: netns_e2e.sh APPLIANCE_SIM E2E_TESTS}

. "$(dirname "$0")/../netns_common.sh"

tag="$$-${RANDOM}"
pc="varn-e2e-pc-$tag"
lan="varn-e2e-lan-$tag"
dead="varn-e2e-dead-$tag"
netns_setup "$pc" "$lan" "$dead"

set -e
netns_wire "$pc" vpc0 "$lan" vlan0
ip -n "$pc" addr add 10.77.0.1/24 dev vpc0
# Three appliances, a free address for set-IP, and a hostile host.
for i in 2 3 4 9 66; do
    ip -n "$lan" addr add "10.77.0.$i/24" dev vlan0
done
netns_wire "$pc" vdead0 "$dead" vend0
ip -n "$pc" addr add 10.77.1.1/24 dev vdead0
ip -n "$dead" addr add 10.77.1.2/24 dev vend0
# The PC learns its address by connecting to 255.255.255.255, which needs a route.
ip -n "$pc" route add default dev vpc0
set +e

# The tests, then those that need an appliance ignoring the write, each phase
# against a simulator of its own.
run_phase() { # NAME FILTER SIM_OPTIONS...
    netns_start_sim "$lan" "$sim" "$1" --port 777 --base-address 10.77.0.2 "${@:3}"
    local simpid=${netns_pids[-1]}
    cat "$netns_work/$1.out"
    ip netns exec "$pc" env VARN_E2E_APPLIANCES=10.77.0.2,10.77.0.3,10.77.0.4 \
        VARN_E2E_SPARE=10.77.0.9 VARN_E2E_HOSTILE=10.77.0.66 VARN_E2E_LAN_NETNS="$lan" \
        VARN_E2E_LAN_DEVICE=vpc0 VARN_E2E_DEAD_END_DEVICE=vdead0 \
        VARN_E2E_SIM_LOG="$netns_work/$1.log" "$tests" --gtest_filter="$2"
    local status=$?
    if [ "$status" -ne 0 ]; then
        echo "--- simulator log (last 60 lines) ---"
        tail -n 60 "$netns_work/$1.log"
    fi
    netns_stop "$simpid"
    unset 'netns_pids[-1]'
    return "$status"
}

rc=0
run_phase sim "-ForgedSave.*" || rc=$?
run_phase sim-ignoring-writes "ForgedSave.*" --ignore 7 || rc=$?
exit "$rc"
