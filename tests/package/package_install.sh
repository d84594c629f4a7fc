#!/usr/bin/env bash
# What a user does with the Debian package: build it from the build tree, install
# it on this machine, run the installed utility and varnctl as an ordinary user
# against the installed simulator on a LAN of network namespaces, and remove it
# again.
#
# Checks that the port helper is the only installed file with a capability and
# links no Qt, that it runs nothing but the two programs it serves, that an
# ordinary user's utility gets UDP port 777 from it and takes in the answers of
# every appliance while a Qt plugin the user put in front of it finds no
# capability in the process, that varnctl discovers through the helper too, that
# the installed demo finds the installed simulator, and that purging the package
# leaves none of its files behind.
#
# Addresses come from 10.77.0.0/24 and exist only inside the namespaces this
# script makes. The namespaces, the processes and the package are removed on
# every way out; each step has its own time limit so that the clean-up runs
# before ctest's.
#
# Usage: package_install.sh BUILD_DIR PROBE_PLUGIN
# PROBE_PLUGIN is the style plugin of cap_probe_style.cpp.
# Exits 77 (skipped) when not root, when a tool or the user nobody is missing,
# when a varn-setup package is installed already, or when namespaces cannot be
# made here.
set -u

build=${1:?usage: package_install.sh BUILD_DIR PROBE_PLUGIN}
probe=${2:?usage: package_install.sh BUILD_DIR PROBE_PLUGIN}
started=$(date +%s%N)

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}

[ "$(id -u)" -eq 0 ] || skip "installing a package and making network namespaces need root"
for tool in cpack dpkg dpkg-deb dpkg-query ip ss setpriv flock getcap timeout readelf; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$build/CPackConfig.cmake" ] || fail "no $build/CPackConfig.cmake: configure and build first"
[ -f "$probe" ] || fail "no probe plugin $probe: build first"
user=nobody
uid=$(id -u "$user" 2>/dev/null) || skip "there is no user $user to run the utility as"
gid=$(id -g "$user")

# One run at a time on this machine: runs from other build trees install the
# same package.
lockdir=/run/lock
[ -d "$lockdir" ] || lockdir=/tmp
exec 9>"$lockdir/varn-setup-package-test.lock"
flock -w 120 9 || fail "another run of this test still holds $lockdir/varn-setup-package-test.lock"

status=$(dpkg-query -W -f='${db:Status-Status}' varn-setup 2>/dev/null)
case "$status" in
"" | not-installed) ;;
*) skip "a varn-setup package is on this machine already ($status); this test does not replace it (dpkg --purge varn-setup, then run it again)" ;;
esac
audit_before=$(dpkg --audit 2>&1)
# Anything of the package's names on the system, whoever made it: the purge
# must take what the package and its scripts made.
named() {
    find /etc /var /usr /opt -xdev \( -name '*varn-setup*' -o -name '*varn-demo*' \
        -o -name '*appliance-sim*' \) 2>/dev/null | sort
}
named_before=$(named)

tag="$$-${RANDOM}"
pc="varn-pkg-pc-$tag"
lan="varn-pkg-lan-$tag"
demons="varn-pkg-demo-$tag"
work=$(mktemp -d)
pids=()
installed=0

# dpkg waits for nobody: try again while another dpkg or apt holds its lock.
dpkg_retrying() {
    local log="$work/dpkg.log"
    for _ in $(seq 30); do
        if dpkg "$@" >"$log" 2>&1; then
            return 0
        fi
        grep -qi "lock" "$log" || break
        sleep 2
    done
    cat "$log"
    return 1
}

stop_programs() {
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null
    done
    for p in "${pids[@]}"; do
        wait "$p" 2>/dev/null
    done
    pids=()
}

cleanup() {
    stop_programs
    for ns in "$pc" "$lan" "$demons"; do
        ip netns del "$ns" 2>/dev/null
    done
    if [ "$installed" = 1 ]; then
        dpkg_retrying --purge varn-setup >/dev/null || echo "clean-up: dpkg --purge varn-setup failed"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The package, built from this build tree as a user would (cpack).
timeout 120 cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    {
        cat "$work/cpack.log"
        fail "cpack could not build the package"
    }
deb=$(ls "$work"/pkg/varn-setup_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no varn-setup_*.deb"
echo "package: $(basename "$deb")"

# What the package brings, and which of those paths the machine has already
# (shared folders such as /usr/bin stay after the purge).
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/contents"
while read -r path; do
    [ -e "$path" ] && echo "$path"
done <"$work/contents" >"$work/existed"

installed=1 # from here on the clean-up purges, also after a half-done install
dpkg_retrying -i "$deb" || fail "dpkg -i failed"
status=$(dpkg-query -W -f='${db:Status-Status}' varn-setup 2>/dev/null)
[ "$status" = installed ] || fail "after dpkg -i the package is '$status', not installed"
dpkg -L varn-setup >"$work/listed"
helper=/usr/libexec/varn-setup/varn-port-helper
for f in /usr/bin/varn-setup /usr/bin/appliance-sim /usr/bin/varn-demo /usr/bin/varnctl "$helper" \
    /usr/share/applications/varn-setup.desktop /usr/share/icons/hicolor/scalable/apps/varn-setup.svg \
    /usr/share/icons/hicolor/32x32/apps/varn-setup.png /usr/share/man/man1/varn-setup.1.gz \
    /usr/share/doc/varn-setup/copyright; do
    grep -qx "$f" "$work/listed" || fail "the package does not install $f"
    [ -f "$f" ] || fail "$f is listed by dpkg -L but not on disk"
done
icon=$(sed -n 's/^Icon=//p' /usr/share/applications/varn-setup.desktop)
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/varn-setup.desktop)
grep -q "^/usr/share/icons/hicolor/.*/apps/$icon\.\(png\|svg\)$" "$work/listed" ||
    fail "the desktop entry's icon '$icon' is not installed"
[ -x "/usr/bin/$exec_line" ] || fail "the desktop entry runs '$exec_line', which is not in /usr/bin"
# The helper alone has a capability, that one alone, and it links no Qt.
caps=$(while read -r f; do [ -f "$f" ] && getcap "$f"; done <"$work/listed")
echo "installed: $caps"
[ "$caps" = "$helper cap_net_bind_service=ep" ] ||
    fail "the capabilities of the installed files are not cap_net_bind_service on $helper alone"
! readelf -d "$helper" | grep -i 'NEEDED.*qt' || fail "$helper links Qt"

# The helper runs nothing but its two programs, named as such: not another
# program, not a path, not without a name; it binds nothing for them.
as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups env -i PATH=/usr/bin:/bin)
for call in "" "sh -c id" "/usr/bin/varn-setup" "../../bin/varnctl" "appliance-sim --help"; do
    # shellcheck disable=SC2086 # each call is split into its words on purpose
    out=$("${as_user[@]}" "$helper" $call 2>&1)
    rc=$?
    [ "$rc" -eq 2 ] && [ "$out" = "usage: varn-port-helper varn-setup|varnctl [ARGUMENT...]" ] ||
        fail "the helper did not refuse '$call' (exit $rc: $out)"
done
echo "helper: refuses other programs, paths and no name"

# The LAN: the PC in one namespace, three appliances in another, a veth pair
# between them; the demo in a third with only its loopback.
if ! ip netns add "$pc" 2>"$work/err"; then
    skip "cannot create a network namespace here: $(cat "$work/err")"
fi
ip netns add "$lan" || fail "ip netns add $lan"
ip netns add "$demons" || fail "ip netns add $demons"
(
    set -e
    ip link add vpc0 netns "$pc" type veth peer name vlan0 netns "$lan"
    ip -n "$pc" addr add 10.77.0.1/24 dev vpc0
    for i in 2 3 4; do ip -n "$lan" addr add "10.77.0.$i/24" dev vlan0; done
    for ns in "$pc" "$lan" "$demons"; do ip -n "$ns" link set lo up; done
    ip -n "$pc" link set vpc0 up
    ip -n "$lan" link set vlan0 up
    # The PC learns its address by connecting to 255.255.255.255, which needs a route.
    ip -n "$pc" route add default dev vpc0
) || fail "could not set up the namespace LAN"

# An ordinary user's home and runtime folder, private to this run.
chmod 711 "$work"
for h in home demohome; do
    mkdir "$work/$h"
    chown "$uid:$gid" "$work/$h"
    chmod 700 "$work/$h"
done

# The appliances: the installed simulator, on port 777 as real ones are.
ip netns exec "$lan" timeout 60 /usr/bin/appliance-sim --port 777 --base-address 10.77.0.2 \
    --log "$work/sim.log" >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    grep -q "listening on" "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
grep -q "listening on" "$work/sim.out" || {
    cat "$work/sim.out"
    fail "the installed appliance-sim did not start"
}

# The installed demo, as the user, finding the installed simulator by itself.
ip netns exec "$demons" timeout 30 "${as_user[@]}" HOME="$work/demohome" \
    XDG_RUNTIME_DIR="$work/demohome" TMPDIR="$work/demohome" /usr/bin/varn-demo --seconds 2 \
    >"$work/demo.out" 2>&1 &
demopid=$!
pids+=("$demopid")

# The installed utility as the user, with a plugin of the user's own in front
# of it: no root, and no capability anywhere in the process; the port comes from
# the helper.
mkdir -p "$work/plugins/styles"
cp "$probe" "$work/plugins/styles/"
chmod -R a+rX "$work/plugins"
ip netns exec "$pc" timeout 60 "${as_user[@]}" HOME="$work/home" XDG_RUNTIME_DIR="$work/home" \
    QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$work/plugins" QT_STYLE_OVERRIDE=varn-cap-probe \
    VARN_PROBE_REPORT="$work/home/probe" /usr/bin/varn-setup >"$work/utility.out" 2>&1 &
utilitypid=$!
pids+=("$utilitypid")

# Discovery broadcasts: how many, and how long after the first came the last,
# in ms. With its list filled the utility stops asking about a second after it
# began (the sweep, then a few rechecks); with an empty list it would sweep
# again 5 s later.
discovery_span() {
    awk '/RX 10\.77\.0\.1:777 > 255\.255\.255\.255:777 .*request 1 / {
        split($1, t, ":"); ms = (t[1] * 3600 + t[2] * 60 + t[3]) * 1000
        if (!n++) first = ms
        last = ms - first; if (last < 0) last += 86400000 }
        END { if (n) print n, int(last) }' "$work/sim.log" 2>/dev/null
}

span=""
listening=""
for _ in $(seq 100); do
    listening=$(ip netns exec "$pc" ss -H -ulpn 'sport = :777' 2>/dev/null)
    span=$(discovery_span)
    answered=0
    for i in 2 3 4; do
        grep -q "TX 10\.77\.0\.$i:777 > 10\.77\.0\.1:777 .*reply 1 " "$work/sim.log" 2>/dev/null &&
            answered=$((answered + 1))
    done
    if [ -n "$span" ] && [ "$answered" -eq 3 ] && echo "$listening" | grep -q '"varn-setup"' &&
        [ "$(echo "$listening" | awk '{print $2}')" = 0 ]; then
        break
    fi
    sleep 0.1
done
echo "utility's socket: $listening"
echo "$listening" | grep -q '0\.0\.0\.0:777 .*"varn-setup"' ||
    fail "the utility does not listen on UDP port 777 (output: $(cat "$work/utility.out"))"
[ "$(echo "$listening" | awk '{print $2}')" = 0 ] || fail "the utility left datagrams unread"
pid=$(echo "$listening" | sed -n 's/.*"varn-setup",pid=\([0-9]*\).*/\1/p')
[ "$(awk '/^Uid:/ {print $2 $3}' "/proc/$pid/status")" = "$uid$uid" ] ||
    fail "the utility does not run as $user"
capeff=$(awk '/^CapEff:/ {print $2}' "/proc/$pid/status")
capprm=$(awk '/^CapPrm:/ {print $2}' "/proc/$pid/status")
[ "$capeff$capprm" = 00000000000000000000000000000000 ] ||
    fail "the utility holds capabilities: effective $capeff, permitted $capprm"
[ -f "$work/home/probe" ] || fail "the user's plugin did not run in the utility ($(cat "$work/utility.out"))"
for set in CapInh CapPrm CapEff CapAmb; do
    grep -qx "$set:[[:space:]]*0000000000000000" "$work/home/probe" ||
        fail "the user's plugin found $(grep "^$set:" "$work/home/probe") in the utility"
done
grep -qx "fd3: udp 0.0.0.0:777" "$work/home/probe" ||
    fail "the utility did not get the helper's socket on descriptor 3: $(grep fd3 "$work/home/probe")"
grep -qx "tcp23: 13" "$work/home/probe" ||
    fail "the user's plugin could bind TCP port 23 or failed otherwise: $(grep tcp23 "$work/home/probe")"
echo "plugin in the utility: $(tr '\n' ' ' <"$work/home/probe")"
[ "$answered" -eq 3 ] || fail "only $answered of 3 appliances answered the utility on port 777"
[ -n "$span" ] || fail "the utility broadcast no discovery from port 777"
# Long enough after the first broadcast for an empty list's second sweep to show.
sleep 5.5
read -r broadcasts last <<<"$(discovery_span)"
[ "$broadcasts" -ge 2 ] || fail "the utility broadcast discovery only once"
[ "$last" -lt 2000 ] ||
    fail "the utility still asked $last ms after its first broadcast: it put no answer into its list"
echo "utility: pid $pid as $user, CapEff $capeff; 3 appliances answered on port 777; it asked $broadcasts times within $last ms and then stopped, having listed them"

# A second program while the utility holds the port: the helper cannot have it,
# and varnctl gives the helper's reason rather than the user's lack of rights.
ip netns exec "$pc" timeout 20 "${as_user[@]}" /usr/bin/varnctl discover >/dev/null 2>"$work/second.err"
grep -q "Another program holds the port" "$work/second.err" ||
    fail "varnctl beside the utility did not say that the port is taken: $(cat "$work/second.err")"

# varnctl as the user once the utility has ended: the port from the helper
# again (without it varnctl would warn that it cannot listen on 777).
kill "$pid"
wait "$utilitypid" 2>/dev/null
ip netns exec "$pc" timeout 20 "${as_user[@]}" /usr/bin/varnctl discover --timeout 500 \
    >"$work/varnctl.out" 2>"$work/varnctl.err"
rc=$?
[ "$rc" -eq 0 ] && [ "$(grep -c 'VARN-\(Office\|Lab\|Store\)' "$work/varnctl.out")" -eq 3 ] ||
    fail "varnctl as $user did not list the 3 appliances (exit $rc): $(cat "$work/varnctl.out" "$work/varnctl.err")"
[ ! -s "$work/varnctl.err" ] || fail "varnctl as $user said: $(cat "$work/varnctl.err")"
echo "varnctl: as $user through the helper, listed the 3 appliances"

wait "$demopid"
demorc=$?
grep -q "found 3 appliances" "$work/demo.out" && [ "$demorc" -eq 0 ] || {
    cat "$work/demo.out"
    fail "the installed varn-demo did not list the simulator's three appliances (exit $demorc)"
}
echo "demo: $(grep "found 3 appliances" "$work/demo.out")"

# Stop the programs, then remove the package as a user would.
stop_programs
dpkg_retrying --purge varn-setup || fail "dpkg --purge varn-setup failed"
installed=0
status=$(dpkg-query -W -f='${db:Status-Status}' varn-setup 2>/dev/null)
case "$status" in
"" | not-installed) ;;
*) fail "after the purge the package is '$status'" ;;
esac
left=0
while read -r path; do
    if [ -e "$path" ] && ! grep -qxF "$path" "$work/existed"; then
        echo "left behind: $path"
        left=1
    fi
done <"$work/contents"
[ "$left" = 0 ] || fail "the purge left the package's files behind"
[ ! -e /usr/bin/varn-setup ] || fail "/usr/bin/varn-setup is still there"
named_after=$(named)
[ "$named_after" = "$named_before" ] || {
    diff <(echo "$named_before") <(echo "$named_after")
    fail "the purge left files of the package's names behind"
}
[ "$(dpkg --audit 2>&1)" = "$audit_before" ] || fail "dpkg --audit reports a changed package state"

echo "purged: none of the package's $(wc -l <"$work/contents") paths is left, and the capability went with the binary"
echo "passed in $((($(date +%s%N) - started) / 1000000)) ms"
