# Shared by the scripts in this folder, which source it.

# Debian packages they need.
BUILD_PACKAGES="cmake g++ make"
QT5_PACKAGES="qtbase5-dev libqt5opengl5-dev"
QT6_PACKAGES="qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins"
# Qt 6's Wayland platform plugin, with Mesa's EGL and drivers to draw through it.
QT6_WAYLAND_PACKAGES="qt6-wayland libegl-mesa0 libgl1-mesa-dri"
# Xvfb with Mesa's software OpenGL and a font, for running without a display.
HEADLESS_PACKAGES="xvfb xauth libgl1-mesa-dri libglx-mesa0 libgl-dev fonts-dejavu-core"
# What scripts/capture uses to find, look at and close the viewer's window.
CAPTURE_PACKAGES="xdotool imagemagick python3-xlib"
# A screen reader's session for the accessibility tests: a D-Bus session bus, the
# accessibility bus and registry on it, and the AT-SPI client Orca uses.
SCREEN_READER_PACKAGES="dbus-daemon dbus-bin at-spi2-core python3-pyatspi"

# build_preset NAME: configures and builds one of the configurations in CMakePresets.json, in
# build/NAME.
build_preset()
{
    local source
    source=$(dirname "${BASH_SOURCE[0]}")/..
    cmake -S "$source" --preset "$1" >/dev/null
    cmake --build "$source/build/$1" -j"$(nproc)"
}

# Qt wants a private runtime folder and complains on every start without one.
use_runtime_dir()
{
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/zentrile-runtime-$(id -u)"
        export XDG_RUNTIME_DIR
        mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    fi
}

# leave_the_session NAME: nothing of the desktop session the script may be started from (its
# displays, scale, theme or GPU), Mesa's software OpenGL, and a private runtime folder. The
# script's servers are stopped and the folder removed however it ends.
leave_the_session()
{
    unset DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET XDG_SESSION_TYPE XDG_CURRENT_DESKTOP \
          XDG_SESSION_DESKTOP DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME \
          QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
          QT_ENABLE_HIGHDPI_SCALING QT_SCALE_FACTOR_ROUNDING_POLICY QT_FONT_DPI \
          QT_WAYLAND_DECORATION
    export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe __GLX_VENDOR_LIBRARY_NAME=mesa
    XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zentrile-$1.XXXXXX")
    export XDG_RUNTIME_DIR
    trap 'stop_servers; rm -rf "$XDG_RUNTIME_DIR"' EXIT
    trap 'exit 130' INT TERM HUP
}

# Display servers of a script's own, which return once the server accepts clients.
# stop_servers ends them all and belongs in the script's exit trap.
server_pids=""

# start_xvfb LOG [Xvfb options...]: sets xvfb_display to the display the server chose.
start_xvfb()
{
    local log="$1"
    shift
    : > "$log.display"
    Xvfb -displayfd 3 -nolisten tcp "$@" 3>"$log.display" >"$log" 2>&1 &
    server_pids="$server_pids $!"
    wait_for Xvfb test -s "$log.display" || return 1
    xvfb_display=":$(cat "$log.display")"
}

# start_weston LOG SOCKET [weston options...]: a headless compositor at SOCKET.
start_weston()
{
    local log="$1" socket="$2"
    shift 2
    weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --use-pixman "$@" \
           >"$log" 2>&1 &
    server_pids="$server_pids $!"
    wait_for weston test -S "$XDG_RUNTIME_DIR/$socket"
}

stop_servers()
{
    local pid
    for pid in $server_pids; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $server_pids; do
        wait "$pid" 2>/dev/null || true
    done
    server_pids=""
}

# wait_for NAME COMMAND...: up to 20 seconds for COMMAND to succeed.
wait_for()
{
    local name="$1"
    shift
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    echo "$0: $name did not start" >&2
    return 1
}

# This machine's Debian release, by its code name.
host_release()
{
    # shellcheck source=/dev/null
    (. /etc/os-release && echo "$VERSION_CODENAME")
}

# The archive this machine's apt installs its release from, for roots of either release.
archive_mirror()
{
    local suite mirror
    suite=$(host_release)
    # shellcheck disable=SC2016 # $(REPO_URI) is apt's field, not the shell's
    mirror=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' \
             "Release: $suite" | head -n 1)
    if [ -z "$mirror" ]; then
        echo "$0: apt has no archive for $suite to make a fresh root from" >&2
        return 1
    fi
    echo "$mirror"
}

# base_root SUITE: the path of a bare root of Debian SUITE (debootstrap, minbase), packed as
# build/roots/SUITE.tar.gz; the first call makes it. The roots of scripts/in-debian and the
# package checks all start from a copy of it. Needs root, and a mount namespace of the
# caller's own, since debootstrap mounts file systems in the root it makes.
base_root()
{
    local suite="$1" roots tarball mirror dir
    roots="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)/build/roots"
    tarball="$roots/$suite.tar.gz"
    if [ ! -s "$tarball" ]; then
        mirror=$(archive_mirror) || return 1
        mkdir -p "$roots"
        dir=$(mktemp -d "$roots/$suite.XXXXXX")
        echo "Making a bare $suite root from $mirror (log in $dir.log)" >&2
        if ! debootstrap --variant=minbase "$suite" "$dir" "$mirror" >"$dir.log" 2>&1; then
            tail -n 20 "$dir.log" >&2
            rm -rf --one-file-system "$dir"
            return 1
        fi
        # What apt downloaded for it would only weigh down every copy. The root's own mode
        # is mktemp's 700, which would keep every other user of the root out of it.
        rm -f "$dir"/var/cache/apt/archives/*.deb
        chmod 755 "$dir"
        tar -C "$dir" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
        rm -rf --one-file-system "$dir" "$dir.log"
    fi
    echo "$tarball"
}
