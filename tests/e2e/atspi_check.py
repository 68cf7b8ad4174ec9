#!/usr/bin/env python3
"""atspi_check.py APP [--press NAME]: what assistive technology reads of a running Orvanta, as JSON on stdout.

Finds the application APP on the accessibility bus, lists its window's children (name, description, role, showing)
and, with --press, presses the child NAME through its first action, reporting the action's name and description and
the objects that came into view while it ran. Exit status 0, 1 when the application or the child is not found, 77
without pyatspi.
"""

import argparse, json, sys, time  # noqa: E401

try:
    import pyatspi
    from gi.repository import GLib
except ImportError as e:
    print(f"SKIP: pyatspi is missing: {e}")
    sys.exit(77)

def find_window(app_name, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower() == app_name and app.childCount:
                return app[0]
        time.sleep(0.5)
    return None

def describe(child):
    return {"name": child.name, "description": child.description, "role": child.getRoleName(),
            "showing": child.getState().contains(pyatspi.STATE_SHOWING)}

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("app")
    parser.add_argument("--press")
    args = parser.parse_args()
    window = find_window(args.app.lower())
    if window is None:
        print(f"no application {args.app} on the accessibility bus", file=sys.stderr)
        return 1
    report = {"window": window.name, "objects": [describe(c) for c in window]}
    if args.press:
        target = next((c for c in window if c.name == args.press), None)
        if target is None:
            print(f"no child {args.press}", file=sys.stderr)
            return 1
        shown = []
        def on_showing(event):
            if event.detail1 and event.source is not None:
                shown.append(event.source.name)
        pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
        action = target.queryAction()
        report["action"] = {"name": action.getName(0), "description": action.getDescription(0),
                            "done": bool(action.doAction(0))}
        context, deadline = GLib.MainContext.default(), time.monotonic() + 2
        while time.monotonic() < deadline:
            context.iteration(False) or time.sleep(0.05)
        pyatspi.Registry.deregisterEventListener(on_showing, "object:state-changed:showing")
        report["shown"] = shown
    print(json.dumps(report))
    return 0

if __name__ == "__main__":
    sys.exit(main())
