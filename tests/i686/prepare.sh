#!/usr/bin/env bash
# Makes what the i686 stage needs before CTest starts: the cached root
# (wine32.sh ready) and build/win32's base prefix, so that test discovery,
# which runs every program once in turn, finds both made.
#   prepare.sh TOP [BUILD_DIR]
set -u
MB_SOURCE_DIR=${1:?usage: prepare.sh TOP [BUILD_DIR]}
MB_BUILD_DIR=${2:-$MB_SOURCE_DIR/build/win32}
source "$MB_SOURCE_DIR/tests/i686/wine32-env.sh" || exit 1
source "$MB_SOURCE_DIR/scripts/wine-env.sh"
mb_wine_ready || { echo "prepare.sh: the 32-bit prefix could not be made (see $WINEPREFIX/mb-hooks.log)" >&2; exit 1; }
