#!/usr/bin/env bash
# varnctl discover --all-interfaces on a PC with two network cards: the PC in
# one network namespace, joined by a veth pair to each of two LANs in two more
# namespaces, a simulator on each LAN. Everything on the real port 777 with
# varnctl's defaults. Addresses come from 10.77.1.0/24 and 10.77.2.0/24 and
# exist only inside the namespaces this script makes; they are removed on every
# way out.
#
# Usage: all_interfaces_netns.sh VARNCTL APPLIANCE_SIM
# Exits 77 (skipped) when not root or when namespaces cannot be made here.
set -u

varnctl=${1:?usage: all_interfaces_netns.sh VARNCTL APPLIANCE_SIM}
sim=${2:?usage: all_interfaces_netns.sh VARNCTL APPLIANCE_SIM}

. "$(dirname "$0")/../../../tests/netns_common.sh"

tag="$$-${RANDOM}"
pc="varnctl-pc-$tag"
lan1="varnctl-lan1-$tag"
lan2="varnctl-lan2-$tag"
netns_setup "$pc" "$lan1" "$lan2"
work=$netns_work

set -e
netns_wire "$pc" vpc1 "$lan1" vlan1
netns_wire "$pc" vpc2 "$lan2" vlan2
ip -n "$pc" addr add 10.77.1.1/24 brd + dev vpc1
ip -n "$pc" addr add 10.77.2.1/24 brd + dev vpc2
for i in 2 3 4; do ip -n "$lan1" addr add "10.77.1.$i/24" dev vlan1; done
ip -n "$lan2" addr add 10.77.2.2/24 dev vlan2
# The first card carries the default route, and so 255.255.255.255.
ip -n "$pc" route add default dev vpc1
set +e

cat >"$work/annex.json" <<'JSON'
{ "appliances": [ { "name": "Annex", "address": "10.77.2.2", "state": 5,
                    "wan_address": "198.51.100.9", "line_speed": 31200 } ] }
JSON
netns_start_sim "$lan1" "$sim" lan1 --base-address 10.77.1.2
netns_start_sim "$lan2" "$sim" lan2 --scenario "$work/annex.json"

failures=0
expect() { # DESCRIPTION PATTERN FILE
    if grep -Eq "$2" "$3"; then
        echo "ok: $1"
    else
        echo "FAILED: $1 (no line matching '$2')"
        failures=$((failures + 1))
    fi
}

ip netns exec "$pc" "$varnctl" discover --all-interfaces >"$work/all.out" 2>"$work/all.err"
rc=$?
cat "$work/all.out" "$work/all.err"
[ "$rc" -eq 0 ] || { echo "FAILED: discover --all-interfaces exited $rc"; failures=$((failures + 1)); }
expect "heading" '^Interface +Device Name +LAN IP Address +Status$' "$work/all.out"
expect "first card" '^vpc1 +VARN-Office +10\.77\.1\.2 +Ready$' "$work/all.out"
expect "first card" '^vpc1 +VARN-Store +10\.77\.1\.4 +Ready$' "$work/all.out"
expect "second card" '^vpc2 +Annex +10\.77\.2\.2 +ISP Connected$' "$work/all.out"
if [ "$(grep -c '^vpc' "$work/all.out")" -ne 4 ]; then
    echo "FAILED: four appliances expected"
    failures=$((failures + 1))
fi

# Without it, the broadcast leaves by the first card only.
ip netns exec "$pc" "$varnctl" discover >"$work/one.out" 2>&1
cat "$work/one.out"
expect "plain discover" '^VARN-Lab +10\.77\.1\.3 +ISP Connected$' "$work/one.out"
if grep -q Annex "$work/one.out"; then
    echo "FAILED: the plain broadcast reached the second card's LAN"
    failures=$((failures + 1))
fi

# And the appliance behind the second card is administered through it.
ip netns exec "$pc" "$varnctl" status --broadcast 10.77.2.255 >"$work/status.out" 2>&1
cat "$work/status.out"
expect "status behind the second card" '^Annex +ISP Connected +198\.51\.100\.9 +31200$' \
    "$work/status.out"

ip netns exec "$pc" "$varnctl" config get Annex --address 10.77.2.2 >"$work/annex.out" \
    2>"$work/annex.err"
cat "$work/annex.err"
expect "configuration behind the second card" '"deviceName": "Annex"' "$work/annex.out"

if [ "$failures" -ne 0 ]; then
    echo "--- simulator logs ---"
    tail -n 20 "$work/lan1.log" "$work/lan2.log"
    exit 1
fi
echo "all-interfaces: passed"
