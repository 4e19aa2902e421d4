#!/usr/bin/env bash
# install-driver.sh against a prefix of its own: the build's driver installs
# and runs (the prefix's set-up hook does that, and fails otherwise), and a
# driver file that cannot start makes the install fail instead of leaving a
# prefix that only looks ready.
#   install-check.sh BUILD_DIR SOURCE_DIR
set -u
MB_BUILD_DIR=$1
MB_SOURCE_DIR=$2
MB_PREFIX=driver-install-check
source "$MB_SOURCE_DIR/scripts/wine-env.sh"
rm -rf "$WINEPREFIX"
mb_wine_ready || { echo "FAILED: the prefix with the build's driver was not made"; exit 1; }
grep -q . "$WINEPREFIX/mb-hooks.log" 2>/dev/null && cat "$WINEPREFIX/mb-hooks.log"

broken=$(mktemp "${TMPDIR:-/tmp}/broken.XXXXXX.sys")
trap 'rm -f "$broken"; "$WINESERVER" -k >/dev/null 2>&1; rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"' EXIT
echo "not a driver" >"$broken"
VILOSIM_SERVICE=ViloLarkSimBroken "$MB_SOURCE_DIR/sim/driver/install-driver.sh" "$broken"
status=$?
if [ "$status" -eq 0 ]; then
    echo "FAILED: a driver that does not start was reported installed"
    exit 1
fi
echo "PASSED: the install of a driver that does not start failed ($status)"
