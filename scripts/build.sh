#!/usr/bin/env bash
# Configures and builds the three builds of the tree:
#   build/win32   the shipped 32-bit Windows programs and DLLs (i686 MinGW-w64)
#   build/win64   the same sources for x86_64, whose tests run under 64-bit Wine
#   build/native  the Windows-free cores with sanitizers and the fuzz targets
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${MB_JOBS:-$(nproc)}
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

configure() {
    local dir=$1
    shift
    # Configured every time: component folders are found by looking, so a new
    # one must be seen even when no CMakeLists.txt that CMake tracks changed.
    if [ -f "$top/build/$dir/CMakeCache.txt" ]; then
        cmake -S "$top" -B "$top/build/$dir" >/dev/null
    else
        cmake -S "$top" -B "$top/build/$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
}

configure win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake"
configure win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-mingw.cmake"
if command -v clang++ >/dev/null 2>&1; then
    configure native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
else
    configure native
fi
for dir in ${MB_BUILDS:-win32 win64 native}; do
    cmake --build "$top/build/$dir" -j "$jobs"
done
