# Sourced by build/win32's wine-run (and scripts/test.sh) before wine-env.sh:
# the Wine of the i686 stage is 32-bit Wine in the cached Debian root
# (wine32.sh), reached through the two wrappers beside this file. Expects
# MB_BUILD_DIR and MB_SOURCE_DIR.
MB_I686_DIR="$MB_SOURCE_DIR/tests/i686"
"$MB_I686_DIR/wine32.sh" ready || return 1
# The tree and the build are seen at the same paths inside the root.
export MB_I686_BIND="$MB_SOURCE_DIR $MB_BUILD_DIR ${MB_I686_EXTRA_BIND:-}"
export MB_WINE="$MB_I686_DIR/wine64"
export WINESERVER="$MB_I686_DIR/wineserver"
# A named prefix keeps the base's modules shared with the root.
export MB_PREFIX_COPY="$MB_I686_DIR/copy-prefix.sh"
