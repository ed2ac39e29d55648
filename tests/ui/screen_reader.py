#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Reads the real Mivaro window through AT-SPI, as Orca does, and checks that
every result it shows can be heard: the check labels after Validate, the
message box, and the attempt count after Generate.

Run under a virtual display and a private session bus:
    xvfb-run -a dbus-run-session -- tests/ui/screen_reader.py build/app/mivaro
"""
import os
import subprocess
import sys
import time

import pyatspi


def wait_for(what, find, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.05)
    apps = [app.name for app in pyatspi.Registry.getDesktop(0) if app is not None]
    raise SystemExit(f"screen_reader: {what} never appeared (applications: {apps})")


def nodes(root):
    yield root
    for child in root:
        if child is not None:
            yield from nodes(child)


def app_named(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def one(root, role, name=None):
    for node in nodes(root):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def press(node):
    node.queryAction().doAction(0)


def expect(condition, message):
    if not condition:
        raise SystemExit(f"screen_reader: {message}")


def main():
    program = sys.argv[1]
    # The accessibility bus is started on demand by the session bus, which
    # dbus-run-session ends (with it) when this script returns. It is started
    # here, before the window, so the window finds it the moment it looks.
    pyatspi.Registry.getDesktop(0)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    window = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
    try:
        app = wait_for("the Mivaro application", lambda: app_named(os.path.basename(program)))
        frame = wait_for("the window", lambda: one(app, "frame"))
        entry = one(frame, "text")
        expect(entry.name == "SIN", f"the entry is named {entry.name!r}")
        for box in (n for n in nodes(frame) if n.getRoleName() == "check box"):
            expect(len(box.name) <= 3 and box.description, f"box {box.name!r}/{box.description!r}")

        entry.queryEditableText().setTextContents("123456782")
        press(one(frame, "push button", "Validate"))
        alert = wait_for("the region message", lambda: one(app, "alert"))
        said = [n.name for n in nodes(alert) if n.getRoleName() == "label" and n.name]
        expect(said == ["SIN is VALID for:\nNova Scotia, New Brunswick, Prince Edward Island, "
                        "and Newfoundland and Labrador"], f"the message box says {said}")
        heard = sorted(n.name for n in nodes(frame) if n.getRoleName() == "label" and showing(n))
        expect(heard == ["Check: 143853772", "CheckSum: 40"], f"the labels say {heard}")
        press(one(alert, "push button", "OK"))
        wait_for("the message box to close", lambda: None if one(app, "alert") else True)

        press(one(frame, "push button", "Generate"))
        count = wait_for("the attempt count", lambda: next(
            (n for n in nodes(frame) if n.getRoleName() == "label" and showing(n)
             and n.name.startswith("Generated: ")), None))
        expect(count.name[len("Generated: "):].isdigit(), f"the count says {count.name!r}")
        print(f"screen_reader: heard {heard}, the message box and {count.name!r}")
    except SystemExit:
        window.kill()
        print(window.communicate()[1], file=sys.stderr)
        raise
    finally:
        window.kill()


if __name__ == "__main__":
    main()
