#!/usr/bin/env python3
"""check_accessibility.py TESSALY POINTS

Starts the window on POINTS and reads it through AT-SPI: the frame, the
grid and the plan by role and name, their descriptions, and the point the
plan reports in focus (the grid's current row, the file's first point).
Run by check_accessibility inside Xvfb and a D-Bus session of its own.
"""
import os
import subprocess
import sys
import time

try:
    import pyatspi
except ImportError:
    sys.exit(77)

TIMEOUT = 40  # seconds for the window to appear and fill


def poll(what, find, timeout=TIMEOUT):
    """find() until it returns something; fails after TIMEOUT seconds."""
    end = time.monotonic() + timeout
    while True:
        if window.poll() is not None:
            fail(f"{what}: tessaly ended with status {window.returncode}")
        try:
            found = find()
        except Exception:  # the tree changes under a walk while the window starts
            found = None
        if found:
            return found
        if time.monotonic() > end:
            fail(f"{what}: not found within {timeout} s")
        time.sleep(0.25)


def walk(node, depth=0):
    """The accessible tree below NODE, depth first; the grid's cells (tens of
    thousands, each a call over D-Bus) are left out."""
    if node is None or depth > 14:
        return
    yield node
    if node.getRole() == pyatspi.ROLE_TABLE:
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def first(root, role, name):
    return next((n for n in walk(root) if n.getRole() == role and n.name == name), None)


failures = []


def fail(text):
    print(f"check_accessibility: {text}", file=sys.stderr)
    if window is not None:
        window.kill()
    sys.exit(1)


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, expected {want!r}")


def check_start(what, got, want):
    if not got.startswith(want):
        failures.append(f"{what}: {got!r}, expected it to start with {want!r}")


window = None
tessaly, points = sys.argv[1:3]
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="C", LC_ALL="C", QT_QPA_PLATFORM="xcb")
env.pop("LANGUAGE", None)
window = subprocess.Popen([tessaly, points], env=env)
try:
    app = poll("the application tessaly on the accessibility bus",
               lambda: next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "tessaly"), None))
    frame = poll("the frame Tessaly", lambda: first(app, pyatspi.ROLE_FRAME, "Tessaly"))
    grid = poll("the grid Points", lambda: first(frame, pyatspi.ROLE_TABLE, "Points"))
    check_start("grid description", grid.description, "One row per point: point number, northing, easting")
    check("grid column 0", grid.queryTable().getColumnDescription(0), "POINT")
    plan = poll("the plan", lambda: first(frame, pyatspi.ROLE_CANVAS, "Plan"))
    check_start("plan description", plan.description, "The points drawn to scale")
    # The file's first point becomes the grid's current row once loaded.
    point = poll("the plan's point in focus",
                 lambda: plan.childCount == 1 and plan.getChildAtIndex(0).name == "Point 0012" and plan.getChildAtIndex(0))
    check("point role", point.getRole(), pyatspi.ROLE_IMAGE)
    check_start("point description", point.description, "Northing 503.25, easting 407")
    check("point's parent", point.parent.name, "Plan")
    # Down in the grid makes the next row current: the plan follows.
    grid.queryComponent().grabFocus()
    pyatspi.Registry.generateKeyboardEvent(0xFF54, None, pyatspi.KEY_SYM)  # XK_Down
    poll("the plan's point in focus after Down",
         lambda: plan.childCount == 1 and plan.getChildAtIndex(0).name == "Point 13")
finally:
    window.terminate()
    try:
        window.wait(10)
    except subprocess.TimeoutExpired:
        window.kill()
for failure in failures:
    print(f"check_accessibility: {failure}", file=sys.stderr)
sys.exit(1 if failures else 0)
