#!/usr/bin/env bash
# Installs every package the build and the tests need on a fresh Debian 12 machine.
# Safe to run again: apt-get skips what is already there. With --if-missing it
# does nothing at all when every package is installed already.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
    # build
    cmake ninja-build make g++ clang libclang-rt-14-dev llvm
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev mingw-w64-tools
    # the win32 thread model: the runtime the shipped binaries are built with (98 to XP)
    g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32
    g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32
    googletest libgtest-dev libtag1-dev libfuse3-dev pkg-config
    # Windows runtime
    wine wine64 libwine-dev xvfb x11-apps imagemagick xdotool
    # FAT oracles
    mtools dosfstools fatsort fuse3
    # audio fixtures and readers
    sox libsox-fmt-all lame twolame ffmpeg id3v2 python3-mutagen libimage-exiftool-perl
    # misc tools used by tests
    file xxd procps psmisc
    # locale sources for tests that run with a Korean code page (localedef)
    locales
    # the manager's skin artwork is drawn at build time (manager/ui/skin/art/make-skin.py)
    python3-pil
    # Wine's own fonts (Marlett for the caption buttons, Tahoma-like dialog faces)
    fonts-wine
    # the i686 stage (tests/i686): a Debian root with 32-bit Wine, made by debootstrap
    debootstrap
    # ... whose 32-bit programs run through the emulator where the machine cannot run them
    qemu-user-static
)
if [ "${1:-}" = "--if-missing" ] &&
    ! dpkg-query -W -f='${Status}\n' "${PACKAGES[@]}" 2>/dev/null | grep -qv '^install ok installed$' &&
    [ "$(dpkg-query -W -f='${Status}\n' "${PACKAGES[@]}" 2>/dev/null | wc -l)" -eq "${#PACKAGES[@]}" ]; then
    exit 0
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}"
