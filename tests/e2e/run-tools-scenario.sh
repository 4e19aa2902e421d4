#!/usr/bin/env bash
# A tools scenario (the FM presets, ListForge, the firmware updater started
# from MusicBridge): run-scenario.sh runs it and checks the memory as it
# checks every scenario, then check-tools.py checks what that tool changed.
#   run-tools-scenario.sh BUILD_DIR SOURCE_DIR SCENARIO TEST_PROGRAM
here=$(cd "$(dirname "$0")" && pwd)
"$here/run-scenario.sh" "$@"
rc=$?
python3 "$here/check-tools.py" "$3" "$(cd "$1" && pwd)/tests/e2e/$3" || rc=1
exit $rc
