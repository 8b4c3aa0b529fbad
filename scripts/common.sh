# Shared by the scripts in this folder, which source it.

# Debian packages they need.
BUILD_PACKAGES="cmake g++ make pkg-config libxcb1-dev"
QT5_PACKAGES="qtbase5-dev libqt5opengl5-dev"
QT6_PACKAGES="qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins"
# Xvfb with Mesa's software OpenGL and a font, for running without a display.
HEADLESS_PACKAGES="xvfb xauth libgl1-mesa-dri libglx-mesa0 libgl-dev fonts-dejavu-core"

# Qt wants a private runtime folder and complains on every start without one.
use_runtime_dir()
{
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/zentrile-runtime-$(id -u)"
        export XDG_RUNTIME_DIR
        mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    fi
}
