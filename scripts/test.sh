#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test: the
# native cores (sanitizers, fuzz targets briefly), the shipped 32-bit binaries'
# import check, and the Windows programs under Wine with an Xvfb display.
# Extra arguments go to every ctest run (for example -R sysctrl); a filter that
# matches no test of the native or the Wine run fails the run.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${MB_JOBS:-$(nproc)}

"$top/scripts/setup-debian.sh" --if-missing || exit 1

# The i686 stage's root (tests/i686) is made once per machine; made fresh it
# is mostly downloads and package unpacking, so it is made while the builds
# run, and the stage waits for it. MB_I686=0 leaves the stage out.
i686=${MB_I686:-1}
i686_root_pid=
if [ "$i686" != 0 ]; then
    mkdir -p "$top/build"
    i686_root_start=$(date +%s)
    "$top/tests/i686/wine32.sh" ready </dev/null >"$top/build/i686-root.log" 2>&1 &
    i686_root_pid=$!
fi

"$top/scripts/build.sh" || exit 1

# build/win32's 32-bit prefix follows the root (it needs both builds' driver
# and hooks), also beside the other tests.
i686_prep_pid=
if [ "$i686" != 0 ]; then
    # It starts once the root is made: the builds may end first.
    (
        while kill -0 "$i686_root_pid" 2>/dev/null; do sleep 2; done
        "$top/tests/i686/prepare.sh" "$top"
    ) </dev/null >"$top/build/i686-prepare.log" 2>&1 &
    i686_prep_pid=$!
fi

MB_BUILD_DIR="$top/build/win64"
MB_SOURCE_DIR="$top"
source "$top/scripts/wine-env.sh"

cleanup() {
    mb_wine_quiet "$WINESERVER" -k || true
    if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# One display for the whole run.
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
fi

mb_wine_ready || { echo "test.sh: the Wine prefix could not be made" >&2; exit 1; }

status=0
echo "== native tests"
(cd "$top/build/native" && ctest -j "$jobs" --no-tests=error --output-on-failure --timeout 600 "$@") || status=1
echo "== shipped 32-bit binaries (import check)"
(cd "$top/build/win32" && ctest -L imports -j "$jobs" --output-on-failure --timeout 600 "$@") || status=1
echo "== Windows tests under Wine"
# A Wine program that fails is run once more before the run counts it failed:
# on a loaded machine a prefix or a driver may start late (the second result
# is the one that counts, and both are printed).
# The manager window's programs (whole windows on served memories, many
# messages and timers each) run after the rest, a few at a time: under the
# full load of the first pass their waits run out. The end-to-end scenarios
# (tests/e2e: the installed programs on the simulated player, in a prefix of
# their own) run in this pass too, one after another.
window='^(e2e\.|PlayerPane|PcPane|PcPaneKorean|xfer_window|MusicBridgeProgram|ManagerCommands|ManagerDialog|ManagerMenus|PlayerMemory|SettleAfterDelete|UpdaterStart|Detection|detect_dialog_tests|fmpreset_|testpanel_|TestPanel|Fm[A-Z])'
(cd "$top/build/win64" && ctest -j "$jobs" -E "$window" --no-tests=error --repeat until-pass:2 --output-on-failure --timeout 600 "$@") || status=1
(cd "$top/build/win64" && ctest -j 3 -R "$window" --no-tests=ignore --repeat until-pass:2 --output-on-failure --timeout 600 "$@") || status=1
echo "== shipped 32-bit programs under 32-bit Wine (tests/i686)"
# The listed test programs of build/win32, the code we ship, under 32-bit
# Wine in a Debian root cached once per machine (made above, beside the
# builds). MB_I686=0 leaves the stage out.
if [ "$i686" = 0 ]; then
    echo "left out (MB_I686=0)"
else
    i686_start=$(date +%s)
    no_tests=error
    [ $# -gt 0 ] && no_tests=ignore
    root_ok=0 prep_ok=0
    wait "$i686_root_pid" && root_ok=1
    wait "$i686_prep_pid" && prep_ok=1
    echo "root and prefix ready $(($(date +%s) - i686_root_start)) s after they were started ($(($(date +%s) - i686_start)) s waited for them)"
    if [ "$root_ok" = 1 ] && [ "$prep_ok" = 1 ]; then
        (cd "$top/build/win32" && ctest -L i686 -j "$jobs" --no-tests=$no_tests --repeat until-pass:2 --output-on-failure --timeout 600 "$@") || status=1
    else
        cat "$top/build/i686-root.log" "$top/build/i686-prepare.log" >&2
        echo "test.sh: the 32-bit Wine root or prefix could not be made" >&2
        status=1
    fi
    "$top/tests/i686/stop.sh" "$top" || true
    echo "the i686 stage took $(($(date +%s) - i686_start)) s"
fi
exit $status
