# Shared by the scripts in this folder, which source it. First the Debian packages they need
# beyond debian/control's Build-Depends, which scripts/ensure-packages reads for them (-B, -P):
# the compiler and make, which Debian's build-essential gives every package build.
BUILD_PACKAGES="g++ make"
QT5_PACKAGES="qtbase5-dev libqt5opengl5-dev"
# Qt 6's Wayland platform plugin, with Mesa's EGL and drivers to draw through it.
QT6_WAYLAND_PACKAGES="qt6-wayland libegl-mesa0 libgl1-mesa-dri"
# Xvfb with Mesa's software OpenGL and a font, for running without a display.
HEADLESS_PACKAGES="xvfb xauth libgl1-mesa-dri libglx-mesa0 fonts-dejavu-core"
# What scripts/capture uses to find, look at and close the viewer's window.
CAPTURE_PACKAGES="xdotool imagemagick python3-xlib"

# build_preset NAME: configures and builds a preset of CMakePresets.json, in build/NAME.
build_preset()
{
    (cd "$(dirname "${BASH_SOURCE[0]}")/.." && cmake --preset "$1" >/dev/null \
         && cmake --build --preset "$1" -j"$(nproc)")
}

# leave_the_session NAME: nothing of the desktop session the script may be started from (its
# displays, scale, theme or GPU), Mesa's software OpenGL, and a private runtime folder, which
# Qt wants. The script's servers are stopped and the folder removed however it ends.
leave_the_session()
{
    unset DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET XDG_SESSION_TYPE XDG_CURRENT_DESKTOP \
          XDG_SESSION_DESKTOP DBUS_SESSION_BUS_ADDRESS "${!QT_@}"
    export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe __GLX_VENDOR_LIBRARY_NAME=mesa
    XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zentrile-$1.XXXXXX")
    export XDG_RUNTIME_DIR
    trap 'kill $servers 2>/dev/null || true; wait; rm -rf "$XDG_RUNTIME_DIR"' EXIT
    trap 'exit 130' INT TERM HUP
}

# Display servers of the script's own, which return once the server takes clients.
servers=""
# start_xvfb [Xvfb options...]: sets xvfb_display to the display the server chose. It never
# resets: one that resets when its last client leaves closes the connections opened meanwhile,
# such as the next test's, or the viewer's while scripts/capture looks for its window.
start_xvfb()
{
    Xvfb -displayfd 3 -nolisten tcp -noreset "$@" 3>"$XDG_RUNTIME_DIR/xvfb.display" \
         >"$XDG_RUNTIME_DIR/xvfb.log" 2>&1 &
    servers="$servers $!"
    wait_for Xvfb test -s "$XDG_RUNTIME_DIR/xvfb.display"
    xvfb_display=":$(cat "$XDG_RUNTIME_DIR/xvfb.display")"
}

# start_weston SOCKET [weston options...]: a headless compositor at SOCKET; log in SOCKET.log.
start_weston()
{
    weston --backend=headless-backend.so --socket="$1" --idle-time=0 --use-pixman "${@:2}" \
           >"$XDG_RUNTIME_DIR/$1.log" 2>&1 &
    servers="$servers $!"
    wait_for weston test -S "$XDG_RUNTIME_DIR/$1"
}

# wait_for NAME COMMAND...: up to 20 seconds for COMMAND to succeed.
wait_for()
{
    for _ in $(seq 200); do "${@:2}" && return 0; sleep 0.1; done
    echo "$0: $1 did not start" >&2
    return 1
}
