#!/usr/bin/env bash
# One end-to-end scenario, as CTest runs it:
#   run-scenario.sh BUILD_DIR SOURCE_DIR SCENARIO TEST_PROGRAM
# In the stage's own Wine prefix (MB_PREFIX=e2e, made once per build) it
# installs the programs the way scripts/run.sh does, starts the simulated
# player on a fresh copy of the demo memory (letter O:, the stand-in
# driver's) with a fresh copy of the demo PC music on D:, runs the scenario's
# case of the test program (which starts MusicBridge.exe and drives its
# window), stops the player and checks the memory's image from Linux
# (check-image.py). Screenshots and the image stay in
# BUILD_DIR/tests/e2e/SCENARIO/ as artefacts.
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
source_dir=$(cd "${2:?source folder}" && pwd)
scenario=${3:?scenario}
program=${4:?test program}
here=$(cd "$(dirname "$0")" && pwd)

say() { echo "e2e $scenario: $*" >&2; }

MB_BUILD_DIR="$build"
MB_SOURCE_DIR="$source_dir"
MB_PREFIX=e2e
source "$source_dir/scripts/wine-env.sh"
source "$source_dir/scripts/sim-player.sh"

stage="$build/tests/e2e"
work="$stage/$scenario"
demo="$stage/demo"
mkdir -p "$stage"
# The demo content is made once per build (its own copy: run.sh's stays alone).
"$source_dir/scripts/demo/make-demo.py" "$demo" >/dev/null || { say "the demo content could not be made"; exit 1; }

rm -rf "$work"
mkdir -p "$work/out" "$work/artifacts" || exit 1
cp "$demo/player.img" "$work/player.img" || exit 1
cp -a "$demo/pc-music" "$work/pc" || exit 1
cp "$demo/player-order.txt" "$work/out/demo-order.txt" || exit 1
if [ "$scenario" = PullDuringDownload ]; then
    # A file long enough to pull the player in the middle of its copy.
    for _ in $(seq 1 440); do cat "$demo/pc-music/Night Drive.mp3"; done >"$work/pc/Long Mix.mp3" || exit 1
fi
MTOOLS_SKIP_CHECK=1 mcopy -n -i "$work/player.img" ::/SETTINGS.DAT "$work/settings-before.dat" || exit 1

mb_wine_ready || { say "the prefix could not be made"; exit 1; }
mb_display_ready || exit 1
"$source_dir/scripts/install-windows.sh" "$build" "$WINEPREFIX" || { say "the programs could not be installed"; exit 1; }

# The prefix was given the driver of its day: the build's own is the one to run.
drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
if [ -f "$build/bin/vilosim.sys" ] && ! cmp -s "$build/bin/vilosim.sys" "$drivers/vilosim.sys"; then
    cp -f "$build/bin/vilosim.sys" "$drivers/vilosim.sys" || exit 1
fi

state="$work/state"
stopped=0
stop_player() {
    [ "$stopped" = 1 ] && return 0
    stopped=1
    mb_player_stop "$state"
}
trap stop_player EXIT
mb_player_start "$state" "$work/player.img" o "d:=$work/pc" || { say "the simulated player did not start"; exit 1; }

export MB_E2E_OUT MB_ARTIFACT_DIR MB_E2E_STATE MB_E2E_MEMORY_SCRIPT
MB_E2E_OUT=$(winepath_of "$work/out")
MB_ARTIFACT_DIR=$(winepath_of "$work/artifacts")
MB_E2E_STATE="$state"
MB_E2E_MEMORY_SCRIPT="$source_dir/sim/memory/scripts/memory.sh"
if [ "$scenario" = PullDuringDownload ]; then
    # The player is pulled out once the long file's copy is under way (its
    # size as the memory's files show it), from here: no Windows process
    # starts fast enough to catch the copy in the middle.
    (
        target="$state/internal/files/Long Mix.mp3"
        for _ in $(seq 1 12000); do
            size=$(stat -c %s "$target" 2>/dev/null || echo 0)
            if [ "$size" -gt 2000000 ]; then
                "$source_dir/sim/memory/scripts/memory.sh" pull "$state" internal >/dev/null 2>&1
                echo "$size" >"$work/out/pulled-at.txt"
                break
            fi
            sleep 0.05
        done
    ) &
fi
say "running in $WINEPREFIX on display $DISPLAY"
timeout -k 10 900 "$MB_WINE" "$program" --gtest_filter="Scenario.$scenario" </dev/null \
    > >(tee "$work/test.log") 2> >(grep -v -E '^[0-9a-f]{4}:fixme:|^fixme:' >&2)
rc=$?
stop_player

# The memory as the player would read it.
python3 "$here/check-image.py" "$scenario" "$work" || rc=1
ls "$work/artifacts" >&2
exit $rc
