#!/usr/bin/env bash
# Ends what the i686 stage left running: the 32-bit prefix's wineserver (and
# with it its services and driver host) and the namespace keeper.
#   stop.sh TOP [BUILD_DIR]
MB_SOURCE_DIR=${1:?usage: stop.sh TOP [BUILD_DIR]}
MB_BUILD_DIR=${2:-$MB_SOURCE_DIR/build/win32}
MB_I686_DIR="$MB_SOURCE_DIR/tests/i686"
export MB_I686_BIND="$MB_SOURCE_DIR $MB_BUILD_DIR ${MB_I686_EXTRA_BIND:-}"
"$MB_I686_DIR/wine32.sh" running || exit 0
for prefix in "$MB_BUILD_DIR/wineprefix" "$MB_BUILD_DIR"/wineprefixes/*; do
    [ -d "$prefix" ] || continue
    WINEPREFIX=$prefix "$MB_I686_DIR/wineserver" -k </dev/null >/dev/null 2>&1 9>&- 8>&-
done
"$MB_I686_DIR/wine32.sh" stop
