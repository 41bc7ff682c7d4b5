# Sourced by setup.sh. The shipped 32-bit program runs under Wine 10 in its
# WoW64 mode, which runs 32-bit Windows code inside a 64-bit process and so
# needs no 32-bit Linux libraries (this kernel runs none). That Wine comes
# from a Debian trixie root made once with debootstrap and kept in the cache;
# each session binds /proc, /dev, /sys, /tmp (files the tests prepare, the X
# display's socket), the project and the 32-bit prefix into it at the same
# paths, so that a path means the same inside and outside.

GRINDLET_CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/grindlet
GRINDLET_WOW64_ROOT=$GRINDLET_CACHE/wow64-root
export GRINDLET_WOW64_PREFIX=${GRINDLET_WOW64_PREFIX:-$GRINDLET_CACHE/wow64-prefix}
export GRINDLET_WOW64_WINE=$GRINDLET_ROOT/scripts/wow64-wine
WOW64_PACKAGES="wine wine64 libwine fonts-wine"

# Made in a folder of its own and moved into place only when complete; a
# half-made one is removed, never while anything is mounted inside it.
grindlet_mounted_below() {
    awk -v root="$1/" 'index($2, root) == 1 { found = 1 } END { exit !found }' /proc/mounts
}

grindlet_remove_unmounted() {
    if grindlet_mounted_below "$1"; then
        echo "refusing to remove $1: something is mounted inside it" >&2
        return 1
    fi
    rm -rf "$1"
}

grindlet_make_wow64_root() {
    [ -f "$GRINDLET_WOW64_ROOT/.grindlet-ready" ] && return 0
    local making=$GRINDLET_WOW64_ROOT.making
    grindlet_remove_unmounted "$making" && grindlet_remove_unmounted "$GRINDLET_WOW64_ROOT" || return 1
    echo "making the Wine 10 root for the 32-bit program (once, about a minute)"
    mkdir -p "$GRINDLET_CACHE"
    debootstrap --variant=minbase trixie "$making" http://deb.debian.org/debian >/dev/null
    mount --bind /proc "$making/proc"
    local made=0
    chroot "$making" /bin/sh -e -c "
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $WOW64_PACKAGES >/dev/null
        # The amd64 libwine carries no 32-bit Windows libraries; WoW64 takes
        # them from the i386 package, whose Linux half it does not need.
        dpkg --add-architecture i386
        apt-get update -qq
        cd /tmp
        apt-get download -qq libwine:i386
        dpkg-deb -x libwine_*_i386.deb /tmp/libwine-i386
        cp -r /tmp/libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows/. \
              /usr/lib/x86_64-linux-gnu/wine/i386-windows/
        rm -rf /tmp/libwine-i386 libwine_*_i386.deb
        apt-get clean" && made=1
    umount "$making/proc"
    [ "$made" = 1 ] || return 1
    touch "$making/.grindlet-ready"
    mv "$making" "$GRINDLET_WOW64_ROOT"
}

# The mounts this run made, in order; only these are taken down again, since
# another run may be using the root at the same time.
GRINDLET_WOW64_MOUNTS=()

grindlet_bind() {
    mkdir -p "$2"
    mountpoint -q "$2" && return 0
    mount --bind "$1" "$2"
    GRINDLET_WOW64_MOUNTS+=("$2")
}

# /tmp is made a shared mount first, so that what a test mounts below it (the
# device test's loop-mounted file system) shows inside the root as well.
grindlet_share_tmp() {
    if ! mountpoint -q /tmp; then
        mount --bind /tmp /tmp
        GRINDLET_WOW64_MOUNTS+=(/tmp)
    fi
    mount --make-shared /tmp
}

grindlet_mount_wow64() {
    mkdir -p "$GRINDLET_WOW64_PREFIX"
    grindlet_share_tmp
    local source
    for source in /proc /dev /sys /tmp "$GRINDLET_ROOT" "$GRINDLET_WOW64_PREFIX"; do
        case "$source" in
        /tmp/*) ;; # there already, with /tmp
        *) grindlet_bind "$source" "$GRINDLET_WOW64_ROOT$source" ;;
        esac
    done
}

grindlet_unmount_wow64() {
    local i
    for ((i = ${#GRINDLET_WOW64_MOUNTS[@]} - 1; i >= 0; i--)); do
        umount -l "${GRINDLET_WOW64_MOUNTS[i]}" || true
    done
    GRINDLET_WOW64_MOUNTS=()
}

grindlet_prepare_wow64_prefix() {
    if [ ! -f "$GRINDLET_WOW64_PREFIX/system.reg" ]; then
        echo "creating the 32-bit Wine prefix $GRINDLET_WOW64_PREFIX"
        "$GRINDLET_WOW64_WINE" wineboot -i >/dev/null 2>&1
    fi
    "$GRINDLET_WOW64_WINE" --server -p 2>/dev/null || true
    "$GRINDLET_WOW64_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$GRINDLET_WOW64_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

grindlet_setup_wow64() {
    grindlet_make_wow64_root
    grindlet_mount_wow64
    grindlet_prepare_wow64_prefix
}

# The run that mounted the root ends its Wine session and takes it down; a
# run that found it mounted leaves both to the run that did.
grindlet_stop_wow64() {
    [ ${#GRINDLET_WOW64_MOUNTS[@]} -gt 0 ] || return 0
    "$GRINDLET_WOW64_WINE" --server -k 2>/dev/null
    grindlet_unmount_wow64
}
