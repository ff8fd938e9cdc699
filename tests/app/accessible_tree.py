#!/usr/bin/env python3
"""Prints what a screen reader sees of a program's windows, as JSON.

Run on the session bus the program is on (dbus-run-session). Waits for the
application named argv[1] to show a frame and prints every frame's tree ("before": role,
name, description, states, screen extents and actions of each object); then,
when argv[2] names a button, presses it through its own action, as a screen
reader does, waits for the window it opens and prints the trees again
("after"). With "--until NAME" in place of a button, the trees are read once
an object named NAME is shown (a result that comes after the window).
"""
import json
import sys
import time

import pyatspi


def node(acc):
    try:
        ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        extents = [ext.x, ext.y, ext.width, ext.height]
    except NotImplementedError:
        extents = None
    try:
        action = acc.queryAction()
        actions = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        actions = []
    states = acc.getState().getStates()
    return {
        "role": acc.getRoleName(),
        "name": acc.name,
        "description": acc.description,
        "states": sorted(pyatspi.stateToString(s) for s in states),
        "extents": extents,
        "actions": actions,
        "children": [node(acc.getChildAtIndex(i)) for i in range(acc.childCount)
                     if acc.getChildAtIndex(i) is not None],
    }


def application(name, deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def frames(app):
    return [app.getChildAtIndex(i) for i in range(app.childCount)
            if app.getChildAtIndex(i) is not None]


def find(acc, name, role="push button"):
    if acc.name == name and (role is None or acc.getRoleName() == role):
        return acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            found = find(child, name, role)
            if found is not None:
                return found
    return None


def main():
    deadline = time.time() + 60
    app = application(sys.argv[1], deadline)
    if app is None:
        print(json.dumps({"error": "no application " + sys.argv[1]}))
        return 1
    # The first frame has been announced; its children follow as it is shown.
    while time.time() < deadline and not any(f.childCount > 0 for f in frames(app)):
        time.sleep(0.2)
    if len(sys.argv) > 3 and sys.argv[2] == "--until":
        while time.time() < deadline and not any(find(f, sys.argv[3], None) for f in frames(app)):
            time.sleep(0.2)
        print(json.dumps({"before": [node(frame) for frame in frames(app)], "after": []},
                         ensure_ascii=False))
        return 0
    result = {"before": [node(frame) for frame in frames(app)], "after": []}
    if len(sys.argv) > 2:
        before = len(frames(app))
        button = None
        while button is None and time.time() < deadline:
            for frame in frames(app):
                button = button or find(frame, sys.argv[2])
            time.sleep(0.2)
        if button is None:
            print(json.dumps({"error": "no button " + sys.argv[2]}))
            return 1
        button.queryAction().doAction(0)
        while time.time() < deadline:
            shown = [f for f in frames(app)
                     if "showing" in [pyatspi.stateToString(s)
                                      for s in f.getState().getStates()]]
            if len(frames(app)) > before or any(f.name == "Quarrow" for f in shown):
                break
            time.sleep(0.2)
        time.sleep(0.5)
        result["after"] = [node(frame) for frame in frames(app)]
    print(json.dumps(result, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
