#!/usr/bin/python3
"""The real viewer as a screen-reader user meets it: read through AT-SPI, the interface Orca
reads.

    tests/screen-reader-session tests/screen_reader.py PROGRAM [ARGS...]

Every control shown must have a name, and the canvas a description and nothing inside it to
read. On X11 a new window's canvas must have the focus, its own keys must change its
description and AT-SPI must tell of it, Tab must reach each command in toolbar order and then
the canvas, as AT-SPI reports the focus, Space on a command must change the description, and
a run of wheel steps over the canvas while a command has the focus must be announced once
where Qt can announce (6.8 and later); on Wayland, where the compositor alone hands out the
keyboard, each command's AT-SPI action must, as a screen reader's own command runs it. Prints
what a screen reader reads of the canvas after each command.
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


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

    run_commands(viewer, canvas, buttons)


def run_commands(viewer, canvas, buttons):
    """Runs each command after the first, then the first, and sees the description change."""
    def focused():
        return [b.name for b in buttons + [canvas]
                if b.getState().contains(pyatspi.STATE_FOCUSED)]

    keyboard = os.environ.get("QT_QPA_PLATFORM") == "xcb"
    if keyboard:
        walk_with_keys(viewer, canvas, buttons, focused)
        return
    for button in buttons[1:] + buttons[:1]:
        description = canvas.description
        button.queryAction().doAction(0)
        wait_for(f"{button.name} left the canvas's description as it was: {description}",
                 lambda: canvas.description != description, timeout=5)
        print(f"{button.name}: {canvas.description}")


def canvas_events(canvas):
    """What AT-SPI tells of the canvas, the types of its description's changes and of its
    announcements, and a wait that hears them meanwhile."""
    changes = []

    def heard(event):
        if event.source == canvas:
            changes.append(event.type)

    pyatspi.Registry.registerEventListener(
        heard, "object:property-change:accessible-description", "object:announcement")
    context = GLib.MainContext.default()

    def listen_until(what, check, timeout=5):
        def pumped():
            while context.pending():
                context.iteration(False)
            return check()
        return wait_for(what, pumped, timeout)

    return changes, listen_until


def give_keyboard(viewer):
    """Without a window manager, the window gets the keyboard as one would give it."""
    find = os.path.join(os.path.dirname(__file__), "..", "scripts", "find-window")
    window = subprocess.run([find, str(viewer.pid)], capture_output=True, text=True,
                            check=True).stdout.strip()
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)


def walk_with_keys(viewer, canvas, buttons, focused):
    """A new window's canvas has the keyboard: what it shows is read with its name, and its
    own keys change it, which a screen reader hears as a change of the focused object's
    description. Tab then reaches each command in toolbar order, Space runs it, and Tab comes
    back to the canvas."""
    changes, listen_until = canvas_events(canvas)
    give_keyboard(viewer)
    wait_for("the canvas never took the keyboard's focus", lambda: focused() == [canvas.name])
    if not canvas.description:
        sys.exit(f"{sys.argv[0]}: the focused canvas has no description to read")
    print(f"{canvas.name}: {canvas.description}")

    description = canvas.description
    subprocess.run(["xdotool", "key", "Right"], check=True)
    listen_until(f"Right on the canvas told no change of its description: {description}",
                 lambda: changes and canvas.description != description)
    print(f"Right: {canvas.description}")

    for button in buttons + [canvas]:
        description = canvas.description
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        wait_for(f"Tab did not move the focus to {button.name}",
                 lambda: focused() == [button.name], timeout=5)
        if button is canvas:
            break
        subprocess.run(["xdotool", "key", "space"], check=True)
        wait_for(f"{button.name} left the canvas's description as it was: {description}",
                 lambda: canvas.description != description, timeout=5)
        print(f"{button.name}: {canvas.description}")

    wheel_run(canvas, buttons[-1], focused, changes, listen_until)


def wheel_run(canvas, button, focused, changes, listen_until):
    """With the keyboard on a command, a run of wheel steps over the canvas is a move made away
    from the focus: Qt from 6.8 announces its end once, after the wheel rests; an older Qt, which
    cannot announce, changes the description alone."""
    subprocess.run(["xdotool", "key", "shift+Tab"], check=True)
    wait_for(f"Shift+Tab did not move the focus to {button.name}",
             lambda: focused() == [button.name], timeout=5)
    box = canvas.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    description = canvas.description
    changes.clear()
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 3),
                    str(box.y + box.height // 3), "click", "--repeat", "5", "--delay", "30",
                    "4"], check=True)
    listen_until(f"the wheel over the canvas left its description as it was: {description}",
                 lambda: canvas.description != description)
    # Long past the wheel's rest, for a second announcement to show if there were one.
    time.sleep(1.5)
    listen_until("", lambda: True)
    version = tuple(int(n) for n in canvas.getApplication().toolkitVersion.split(".")[:2])
    announced = changes.count("object:announcement")
    if announced != (1 if version >= (6, 8) else 0):
        sys.exit(f"{sys.argv[0]}: a run of wheel steps was announced {announced} times "
                 f"by Qt {canvas.getApplication().toolkitVersion}")
    print(f"Wheel, announced {announced} times: {canvas.description}")


if __name__ == "__main__":
    main()
