# Sourced by the other scripts. Installs what the project needs on a Debian
# machine (run as root), prepares the project's own Wine prefix, and starts a
# virtual display and a persistent wineserver for the session.

PACKAGES=(
    cmake make python3 googletest file
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick e2fsprogs mount debootstrap
)

GRINDLET_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${GRINDLET_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/grindlet/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
# Wine reads Unix file names in the locale's character set: names in any
# script reach Windows programs only under a UTF-8 locale.
export LANG=C.UTF-8
# No Mono or Gecko: the program needs neither, and Wine would offer to fetch them.
export WINEDLLOVERRIDES="mscoree,mshtml="
export GRINDLET_WINE=/usr/lib/wine/wine64

grindlet_install_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

grindlet_start_display() {
    if [ -n "${GRINDLET_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        GRINDLET_XVFB_PID=$!
        export DISPLAY=":$n"
        local tries
        for tries in $(seq 1 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$GRINDLET_XVFB_PID" 2>/dev/null
    done
    echo "could not start Xvfb" >&2
    return 1
}

grindlet_prepare_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # One wineserver for the whole session instead of one per started program;
    # where one is running already, that one serves.
    wineserver -p 2>/dev/null || true
    # The test display has no window manager: Wine then draws the windows' own
    # title bars and close boxes, as Windows does, and does not wait for a
    # window manager to acknowledge each window it hides.
    "$GRINDLET_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$GRINDLET_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

source "$GRINDLET_ROOT/scripts/wow64.sh"

grindlet_stop() {
    grindlet_stop_wow64
    wineserver -k 2>/dev/null || true
    [ -n "${GRINDLET_XVFB_PID:-}" ] && kill "$GRINDLET_XVFB_PID" 2>/dev/null || true
}

grindlet_setup() {
    grindlet_install_packages
    grindlet_start_display
    # Interrupted or ended from outside, the script still takes down what it
    # set up: bash runs the EXIT trap only when it exits by itself.
    trap grindlet_stop EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    grindlet_prepare_prefix
}

# grindlet_build ARCH [TARGET] [CMAKE OPTIONS...]: configures and builds
# build/ARCH (every target when TARGET is "all").
grindlet_build() {
    local arch=$1 target=$2
    shift 2
    cmake -S "$GRINDLET_ROOT" -B "$GRINDLET_ROOT/build/$arch" \
        -DCMAKE_TOOLCHAIN_FILE="$GRINDLET_ROOT/cmake/toolchain-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$GRINDLET_ROOT/build/$arch" --target "$target" -j"$(nproc)"
}
