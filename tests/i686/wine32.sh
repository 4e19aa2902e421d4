#!/usr/bin/env bash
# 32-bit Wine for the shipped i686 build, on machines that may not execute
# 32-bit x86 code.
#
# A Debian root (amd64, with Debian's wine, wine64 and wine32:i386) is made once
# per machine in the cache folder ($MB_I686_CACHE, default
# ~/.cache/musicbridge/i686). Its 64-bit parts (wineserver, services, the
# driver host) run natively; where the machine cannot run i386 programs, every
# i386 ELF (the 32-bit Wine loader, so every 32-bit Windows program) goes
# through qemu-i386-static, registered for binfmt_misc inside a user namespace
# of our own (kernel 6.7 and later), so the host's registrations are not
# touched. A small preloaded library (qemu-fixes.c) mends three faults of
# qemu 7.2 that 32-bit Wine trips over.
#
#   wine32.sh ready            makes the root once (needs root for debootstrap)
#   wine32.sh run PROG [ARGS]  runs PROG (a path inside the root, such as
#                              /usr/lib/wine/wine64) in the root; the caller's
#                              environment, working folder, /tmp and the
#                              folders in MB_I686_BIND (blank-separated) are
#                              the same inside
#   wine32.sh mode             prints "native" or "qemu"
#   wine32.sh stop             ends the namespace kept for these folders
#   wine32.sh running          whether that namespace is there
set -u
here=$(cd "$(dirname "$0")" && pwd)
cache=${MB_I686_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/musicbridge/i686}
root=$cache/root
# Raised when the root's make-up changes, so old caches are made again.
root_version=1
preload=/opt/musicbridge/libmbqemufix.so

die() {
    echo "wine32.sh: $*" >&2
    exit 1
}

# The Debian mirror the machine's own apt uses, for the suite the machine runs.
host_mirror() {
    local uri
    uri=$(grep -h -E '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '{print $2}' | grep -v -E 'security|nodesource|google' | head -n1)
    if [ -z "$uri" ]; then
        uri=$(grep -h -E '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            grep -v security | awk '{print $2}' | head -n1)
    fi
    [ -n "$uri" ] || die "no Debian mirror in /etc/apt"
    printf '%s' "$uri"
}

# Whether this machine executes i386 programs itself: a tiny static one is
# built with the host compiler and run.
native_i386() {
    local probe=$cache/i386-probe
    if [ ! -x "$probe" ]; then
        mkdir -p "$cache"
        printf '%s\n' 'void _start(void){__asm__ volatile("movl $1,%eax\n\txorl %ebx,%ebx\n\tint $0x80");}' >"$cache/i386-probe.c"
        gcc -m32 -static -nostdlib -ffreestanding -fno-pie -no-pie -o "$probe.$$" "$cache/i386-probe.c" 2>/dev/null &&
            mv -f "$probe.$$" "$probe" || return 1
    fi
    # A global qemu registration would answer too; that is not native.
    if [ -d /proc/sys/fs/binfmt_misc ] && grep -l -s -q 'qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then
        return 1
    fi
    "$probe" 2>/dev/null
}

# "native" or "qemu", found once per machine (MB_I686_MODE overrides).
mode() {
    if [ -n "${MB_I686_MODE:-}" ]; then
        printf '%s' "$MB_I686_MODE"
        return 0
    fi
    local known=$cache/mode
    if [ ! -s "$known" ]; then
        mkdir -p "$cache"
        if native_i386; then echo native; else echo qemu; fi >"$known.$$" && mv -f "$known.$$" "$known"
    fi
    cat "$known"
}

# Runs a command in the root as the real root (package installs need real
# owners), in a mount namespace of its own.
in_root_privileged() {
    unshare --mount --propagation private -- bash -c '
        root=$1; shift
        mount --rbind /dev "$root/dev" && mount --rbind /proc "$root/proc" &&
            mount --rbind /sys "$root/sys" || exit 1
        exec chroot "$root" "$@"' sh "$root" "$@"
}

make_root() {
    [ "$(id -u)" -eq 0 ] || die "making the 32-bit Wine root needs root (debootstrap)"
    command -v debootstrap >/dev/null || die "debootstrap is missing (scripts/setup-debian.sh installs it)"
    local mirror
    mirror=$(host_mirror)
    local partial=$cache/root.partial
    if [ ! -f "$partial/.mb-debootstrap" ]; then
        rm -rf "$partial"
        mkdir -p "$cache"
        echo "wine32.sh: making the Debian root in $partial (debootstrap)" >&2
        debootstrap --variant=minbase --arch=amd64 bookworm "$partial" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
            die "debootstrap failed; see $cache/debootstrap.log"
        touch "$partial/.mb-debootstrap"
    fi
    echo "wine32.sh: installing 32-bit Wine into the root" >&2
    local x11="libxcomposite1 libxcursor1 libxext6 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1"
    local pkgs="wine wine64 wine32:i386 fonts-wine" lib
    for lib in $x11; do pkgs="$pkgs $lib:amd64 $lib:i386"; done
    root=$partial in_root_privileged /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        DEBIAN_FRONTEND=noninteractive bash -c "
            dpkg --add-architecture i386 &&
            apt-get update -qq &&
            apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io $pkgs &&
            apt-get clean" >"$cache/packages.log" 2>&1 ||
        die "installing Wine into the root failed; see $cache/packages.log"
    rm -rf "$root"
    mv "$partial" "$root" || die "cannot move the root into place"
}

# The preloaded library, built from our source with the host compiler.
make_preload() {
    local out=$root$preload
    if [ -f "$out" ] && [ "$out" -nt "$here/qemu-fixes.c" ]; then
        return 0
    fi
    mkdir -p "$(dirname "$out")"
    gcc -m32 -O2 -ffreestanding -fno-stack-protector -fno-builtin -fPIC -nostdlib -shared \
        -Wl,-soname,libmbqemufix.so -o "$out.$$" "$here/qemu-fixes.c" || die "cannot build $here/qemu-fixes.c"
    mv -f "$out.$$" "$out"
}

# Tests start Linux tools (fsck.fat, mtools, sox...) from their Windows
# programs: in the root these names run the host's own tools, in the host's
# tree (mounted at /run/mb-host), in the same folder.
host_tools="fsck.fat mkfs.fat fatsort mdir mtype mcopy mmd mdel mformat mattrib mlabel mren mmove
    lame sox ffmpeg ffprobe id3v2 python3 exiftool xxd
    import convert compare identify xwd xdotool"
# Raised when the list above changes.
host_tools_version=2
make_host_tools() {
    local stamp=$root/opt/musicbridge/.host-tools-$host_tools_version name
    [ -f "$stamp" ] && return 0
    mkdir -p "$root/usr/local/bin" "$root/opt/musicbridge"
    for name in $host_tools; do
        cat >"$root/usr/local/bin/$name" <<TOOL
#!/bin/sh
exec chroot /run/mb-host /bin/sh -c 'cd "\$0" 2>/dev/null || cd /; exec "\$@"' "\$PWD" /usr/bin/env PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin $name "\$@"
TOOL
        chmod +x "$root/usr/local/bin/$name"
    done
    [ -e "$root/usr/bin/python3" ] || [ -L "$root/usr/bin/python3" ] || ln -s /usr/local/bin/python3 "$root/usr/bin/python3"
    touch "$stamp"
}

ready() {
    if [ -f "$root/.mb-ready-$root_version" ] && [ -f "$root/opt/musicbridge/.host-tools-$host_tools_version" ] &&
        { [ "$(mode)" = native ] || [ "$root$preload" -nt "$here/qemu-fixes.c" ]; }; then
        return 0
    fi
    mkdir -p "$cache"
    (
        exec 9>"$cache/lock"
        flock 9
        if [ ! -f "$root/.mb-ready-$root_version" ]; then
            make_root
            touch "$root/.mb-ready-$root_version"
        fi
        make_preload
        make_host_tools
    ) || exit 1
}

# The namespaces the programs run in: a user and mount namespace of our own,
# kept by one sleeping process, in which the emulator is registered (when
# needed), the root has /dev, /proc, /sys, /tmp and the caller's folders
# (MB_I686_BIND) mounted, and the keeper sits in the root. Making one costs a
# second or more of mounts on a loaded machine; entering it costs nothing.
keeper_file() {
    local binds="/tmp ${MB_I686_BIND:-}"
    printf '%s/keeper-%s' "$cache" "$(printf '%s' "$binds" | md5sum | cut -c1-12)"
}

keeper_alive() {
    local pid
    pid=$(cat "$1" 2>/dev/null) || return 1
    [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "mb-i686-keeper" || return 1
    printf '%s' "$pid"
}

keeper_up() {
    local file pid
    file=$(keeper_file)
    if pid=$(keeper_alive "$file"); then
        printf '%s' "$pid"
        return 0
    fi
    (
        exec 8>"$file.lock"
        flock 8
        keeper_alive "$file" >/dev/null && exit 0
        local m binds ready=$file.ready
        m=$(mode)
        binds="/tmp ${MB_I686_BIND:-}"
        rm -f "$ready" "$ready.failed"
        setsid unshare --user --map-root-user --mount --propagation slave -- bash -c '
            root=$1 m=$2 binds=$3 ready=$4
            fail() { echo "wine32.sh: $*" >"$ready.failed"; exit 1; }
            if [ "$m" = qemu ]; then
                mnt=$root/run/mb-binfmt
                mkdir -p "$mnt"
                mount -t binfmt_misc binfmt_misc "$mnt" 2>/dev/null ||
                    fail "this kernel gives no binfmt_misc of our own to a user namespace (6.7 and later do)"
                # i386 ELF executables and shared objects go through the
                # emulator (F: the emulator is opened now, from the host).
                printf "%s" ":mb-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F" \
                    >"$mnt/register" || fail "cannot register /usr/bin/qemu-i386-static"
            fi
            for dir in /dev /proc /sys; do
                mount --rbind "$dir" "$root$dir" || fail "cannot mount $dir in the root"
            done
            mkdir -p "$root/run/mb-host" && mount --rbind / "$root/run/mb-host" || fail "cannot mount the host in the root"
            for dir in $binds; do
                [ -d "$dir" ] || continue
                mkdir -p "$root$dir" && mount --rbind "$dir" "$root$dir" || fail "cannot mount $dir in the root"
            done
            touch "$ready"
            exec chroot "$root" /bin/bash -c "exec -a mb-i686-keeper sleep 1000000000"' \
            sh "$root" "$m" "$binds" "$ready" </dev/null >/dev/null 2>&1 8>&- &
        local keeper=$! i
        for i in $(seq 1 600); do
            [ -f "$ready" ] || [ -f "$ready.failed" ] && break
            kill -0 "$keeper" 2>/dev/null || break
            sleep 0.05
        done
        if [ ! -f "$ready" ]; then
            cat "$ready.failed" >&2 2>/dev/null || echo "wine32.sh: the namespace keeper did not start" >&2
            exit 1
        fi
        # The keeper is the chroot's child once it execs: wait for its name.
        for i in $(seq 1 200); do
            local p
            for p in $(pgrep -s "$keeper" 2>/dev/null) $keeper; do
                if tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q mb-i686-keeper; then
                    echo "$p" >"$file"
                    exit 0
                fi
            done
            sleep 0.05
        done
        echo "wine32.sh: the namespace keeper did not start" >&2
        exit 1
    ) || exit 1
    keeper_alive "$file"
}

# Runs a program of the root in the kept namespaces, in the caller's folder.
run() {
    [ -f "$root/.mb-ready-$root_version" ] || die "no root yet: run 'wine32.sh ready' first"
    local pid
    pid=$(keeper_up) || exit 1
    if [ "$(mode)" = qemu ]; then
        export QEMU_SET_ENV="LD_PRELOAD=$preload"
    fi
    exec nsenter --target "$pid" --user --mount --root --wd -- /bin/sh -c \
        'cd "$0" 2>/dev/null || { echo "wine32.sh: $0 is not seen in the root (MB_I686_BIND)" >&2; exit 126; }; exec "$@"' \
        "$PWD" "$@"
}

stop() {
    local file pid
    file=$(keeper_file)
    pid=$(keeper_alive "$file") && kill "$pid" 2>/dev/null
    rm -f "$file" "$file.ready"
    return 0
}

case "${1:-}" in
    ready) ready ;;
    run)
        shift
        [ $# -ge 1 ] || die "usage: wine32.sh run PROGRAM [ARGS]"
        run "$@"
        ;;
    mode) mode; echo ;;
    stop) stop ;;
    running) keeper_alive "$(keeper_file)" >/dev/null ;;
    *) die "usage: wine32.sh ready | run PROGRAM [ARGS] | mode | stop" ;;
esac
