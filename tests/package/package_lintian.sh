#!/usr/bin/env bash
# Builds the Debian package from the build tree and has lintian check it.
# Fails on any error; prints every tag, warnings and notes included.
#
# Usage: package_lintian.sh BUILD_DIR
# Exits 77 (skipped) when lintian is not installed.
set -u

build=${1:?usage: package_lintian.sh BUILD_DIR}
command -v lintian >/dev/null 2>&1 || {
    echo "SKIPPED: lintian is not installed (scripts/install-deps.sh installs it)"
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

# lintian says it should not run as root; the check is the same.
timeout 120 lintian --display-info --pedantic --fail-on error "$deb" 2>&1 | grep -v "^running with root"
rc=${PIPESTATUS[0]}
echo "lintian on $(basename "$deb"): exit $rc"
exit "$rc"
