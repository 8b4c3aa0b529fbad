#!/usr/bin/python3
"""The real viewer as a screen-reader user meets it: read through AT-SPI, the interface Orca
reads, and on X11 driven by the keyboard alone.

    tests/screen-reader-session tests/screen_reader.py PROGRAM [ARGS...]

Every control shown must have a name, and the canvas a description and nothing inside it to
read. On X11, Tab must reach each command in toolbar order, and Space on it must change both
the picture on the screen and the canvas's description; on Wayland each command's AT-SPI action
must change the description.
Prints what a screen reader reads of the canvas after each command.
"""
import os
import subprocess
import sys
import time

import pyatspi
from Xlib import X, display

FIND_WINDOW = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts",
                           "find-window")


def wait_for(what, check, timeout=20):
    end = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > end:
            sys.exit(f"{sys.argv[0]}: {what}")
        time.sleep(0.05)


def shown(accessible):
    """The accessible and everything shown below it."""
    if not accessible or not accessible.getState().contains(pyatspi.STATE_SHOWING):
        return
    yield accessible
    for child in accessible:
        yield from shown(child)


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)


def main():
    viewer = subprocess.Popen(sys.argv[1:])
    try:
        check(viewer)
    finally:
        viewer.terminate()
        viewer.wait()


def check(viewer):
    def application():
        if viewer.poll() is not None:
            sys.exit(f"{sys.argv[0]}: the viewer ended with status {viewer.returncode}")
        for app in pyatspi.Registry.getDesktop(0):
            if app and app.get_process_id() == viewer.pid:
                return app
        return None

    app = wait_for("the viewer never appeared on the accessibility bus", application)
    frame = wait_for("the viewer's window never showed",
                     lambda: next((c for c in app if c and c.getRole() == pyatspi.ROLE_FRAME),
                                  None))

    # Roles by their constants: their names change between AT-SPI releases. The commands
    # are the toolbar's buttons, in toolbar order; what they are called, tst_accessibility
    # checks.
    def commands():
        toolbar = next((a for a in shown(frame) if a.getRole() == pyatspi.ROLE_TOOL_BAR), None)
        return [a for a in shown(toolbar) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON] or None

    buttons = wait_for("the toolbar's commands never showed", commands)
    objects = list(shown(frame))
    unnamed = [f"{a.getRoleName()} under {a.parent.name!r}" for a in objects
               if not a.name.strip()]
    if unnamed:
        sys.exit(f"{sys.argv[0]}: shown without a name: {', '.join(unnamed)}")
    canvas = next((a for a in objects if a.getRole() == pyatspi.ROLE_IMAGE
                   and a.name == "Canvas"), None)
    if not canvas:
        sys.exit(f"{sys.argv[0]}: no image named Canvas")
    if canvas.childCount:
        sys.exit(f"{sys.argv[0]}: the canvas has {canvas.childCount} children to read")

    if os.environ.get("QT_QPA_PLATFORM") == "wayland" or not os.environ.get("DISPLAY"):
        press_through_atspi(canvas, buttons)
    else:
        press_keys(viewer, canvas, buttons)


def press_through_atspi(canvas, buttons):
    """On Wayland the compositor alone hands out the keyboard and the screen's pixels, so
    each command runs through its AT-SPI action, as a screen reader's own command does."""
    for button in buttons[1:] + buttons[:1]:
        description = canvas.description
        button.queryAction().doAction(0)
        wait_for(f"{button.name} left the canvas's description as it was: {description}",
                 lambda: canvas.description != description, timeout=5)
        print(f"{button.name}: {canvas.description}")


def press_keys(viewer, canvas, buttons):
    names = [b.name for b in buttons]

    def focused():
        found = [b.name for b in buttons if b.getState().contains(pyatspi.STATE_FOCUSED)]
        return found[0] if len(found) == 1 else None

    # What the X server shows of the canvas: its pixels, native child windows included.
    screen = display.Display().screen().root
    x, y, width, height = canvas.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)

    def picture():
        return screen.get_image(x, y, width, height, X.ZPixmap, 0xffffffff).data

    # Without a window manager, the window gets the keyboard as one would give it.
    found = subprocess.run([FIND_WINDOW, str(viewer.pid)], capture_output=True, text=True)
    if found.returncode != 0:
        sys.exit(f"{sys.argv[0]}: no X window titled Zentrile")
    subprocess.run(["xdotool", "windowfocus", "--sync", found.stdout.strip()], check=True)
    wait_for("no command took the keyboard's focus", focused)
    for _ in names:
        if focused() == names[0]:
            break
        key("Tab")
        time.sleep(0.1)
    wait_for(f"Tab never reached {names[0]}", lambda: focused() == names[0])

    # From the first, Tab visits every other command and comes back; each changes the view.
    for name in names[1:] + names[:1]:
        key("Tab")
        wait_for(f"Tab did not move the focus to {name}, but to {focused()}",
                 lambda: focused() == name, timeout=5)
        description, before = canvas.description, picture()
        key("space")
        wait_for(f"Space on {name} left the canvas's description as it was: {description}",
                 lambda: canvas.description != description, timeout=5)
        wait_for(f"Space on {name} left the picture as it was", lambda: picture() != before,
                 timeout=5)
        print(f"{name}: {canvas.description}")


if __name__ == "__main__":
    main()
