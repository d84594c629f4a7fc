#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks that it holds what
# users expect (varnctl with its manual page and bash completion, valid
# AppStream metadata, the copyright file made from LICENSE) and has lintian
# check it. Fails on any error; prints every tag, warnings and notes included.
#
# Usage: package_lintian.sh BUILD_DIR SOURCE_DIR
# Exits 77 (skipped) when lintian or appstreamcli is not installed.
set -u

build=${1:?usage: package_lintian.sh BUILD_DIR SOURCE_DIR}
source=${2:?usage: package_lintian.sh BUILD_DIR SOURCE_DIR}
command -v lintian >/dev/null 2>&1 || {
    echo "SKIPPED: lintian is not installed (scripts/install-deps.sh installs it)"
    exit 77
}
command -v appstreamcli >/dev/null 2>&1 || {
    echo "SKIPPED: appstreamcli is not installed (scripts/install-deps.sh installs it)"
    exit 77
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

if ! timeout 120 cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAILED: cpack could not build the package"
    exit 1
fi
deb=$(ls "$work"/varn-setup_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || {
    echo "FAILED: cpack made no varn-setup_*.deb"
    exit 1
}

fail() {
    echo "FAILED: $*"
    exit 1
}
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb cannot unpack $deb"
metainfo=usr/share/metainfo/org.example.varn_setup.metainfo.xml
completion=usr/share/bash-completion/completions/varnctl
for f in usr/bin/varnctl usr/share/man/man1/varnctl.1.gz "$completion" "$metainfo"; do
    [ -f "$root/$f" ] || fail "the package lacks /$f"
done
appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli refuses /$metainfo"
# The completion stands alone: bash-completion need not be there to source it.
offered=$(bash -c 'source "$1"; COMP_WORDS=(varnctl config ""); COMP_CWORD=2; _varnctl
                   echo "${COMPREPLY[*]}"' _ "$root/$completion")
[ "$offered" = "get put set" ] ||
    fail "completing 'varnctl config ' offers \"$offered\", not \"get put set\""
offered=$(bash -c 'source "$1"; COMP_WORDS=(varnctl config set VARN-Lab phoneN); COMP_CWORD=4
                   _varnctl; echo "${COMPREPLY[*]}"' _ "$root/$completion")
[ "$offered" = "phoneNumber=" ] ||
    fail "completing 'varnctl config set VARN-Lab phoneN' offers \"$offered\", not \"phoneNumber=\""
# The copyright file carries LICENSE's text, line for line.
copyright=$root/usr/share/doc/varn-setup/copyright
grep -q '^License: MIT$' "$copyright" || fail "the copyright file names no MIT licence"
diff <(sed -n '/^Permission/,$p' "$source/LICENSE" | sed '/^$/d') \
     <(sed -n '/^ Permission/,$p' "$copyright" | sed -e 's/^ //' -e '/^\.$/d') ||
    fail "the copyright file's licence text differs from LICENSE"

# lintian says it should not run as root; the check is the same.
timeout 120 lintian --display-info --pedantic --fail-on error "$deb" 2>&1 | grep -v "^running with root"
rc=${PIPESTATUS[0]}
echo "lintian on $(basename "$deb"): exit $rc"
exit "$rc"
