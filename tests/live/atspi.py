#!/usr/bin/python3
"""What a screen reader sees of the running application, through AT-SPI.

Usage: atspi.py WINDOW COMMAND [ARG...], WINDOW the title of one of the application's
windows ("Quellvista", "Quellvista pop-over"). Commands:
  expect NAME [CHECK...]  within 10 s a control NAME (a "*" at the end or the start
                          of NAME matches the rest of the name) shows every CHECK: role=ROLE, value=N, a state
                          (checked, selected, focused, focusable) or !STATE
  press NAME              performs the control's "Press" action
  focused                 prints the name of the focused control
  dump                    prints the window's tree
Exits 1 with the reason (and the tree) when a control or a check is not met.
"""
import sys
import time

import pyatspi

STATES = {name: getattr(pyatspi, "STATE_" + name.upper())
          for name in ("checked", "selected", "focused", "focusable", "showing")}


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Quellvista":
            return app
    return None


def window(title):
    app = application()
    for i in range(app.childCount if app else 0):
        frame = app.getChildAtIndex(i)
        if frame is not None and frame.name == title:
            return frame
    return None


def nodes(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child)


def matches(node, name):
    if name.startswith("*"):
        return node.name.endswith(name[1:])
    return node.name.startswith(name[:-1]) if name.endswith("*") else node.name == name


def value(node):
    try:
        return node.queryValue().currentValue
    except NotImplementedError:
        return None


def describe(node):
    states = [s for s, v in STATES.items() if node.getState().contains(v)]
    shown = value(node)
    return "%s %r %s%s" % (node.getRoleName(), node.name, states, "" if shown is None else " value=%g" % shown)


def unmet(node, checks):
    """The checks the node does not meet."""
    missing = []
    for check in checks:
        if check.startswith("role="):
            ok = node.getRoleName() == check[5:]
        elif check.startswith("value="):
            ok = value(node) == float(check[6:])
        elif check.startswith("!"):
            ok = not node.getState().contains(STATES[check[1:]])
        else:
            ok = node.getState().contains(STATES[check])
        if not ok:
            missing.append(check)
    return missing


def dump(frame):
    def walk(node, depth):
        print("  " * depth + describe(node), file=sys.stderr)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                walk(child, depth + 1)
    walk(frame, 0)


def fail(frame, reason):
    print(reason, file=sys.stderr)
    if frame is not None:
        dump(frame)
    sys.exit(1)


def main():
    title, command, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    end = time.monotonic() + 10
    frame = window(title)
    while frame is None and time.monotonic() < end:
        time.sleep(0.2)
        frame = window(title)
    if frame is None:
        fail(None, "no window %r on the accessibility bus" % title)
    if command == "dump":
        dump(frame)
    elif command == "focused":
        print(next((n.name for n in nodes(frame) if n.getState().contains(pyatspi.STATE_FOCUSED)), ""))
    elif command == "press":
        found = next((n for n in nodes(frame) if matches(n, args[0])), None)
        if found is None:
            fail(frame, "no control %r" % args[0])
        action = found.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" not in names:
            fail(frame, "%s has no Press action: %s" % (describe(found), names))
        action.doAction(names.index("Press"))
    elif command == "expect":
        while True:
            found = [n for n in nodes(frame) if matches(n, args[0])]
            missed = [describe(n) + " misses " + " ".join(unmet(n, args[1:])) for n in found]
            if found and any(not unmet(n, args[1:]) for n in found):
                return
            if time.monotonic() > end:
                fail(frame, "; ".join(missed) if found else "no control %r" % args[0])
            time.sleep(0.2)
    else:
        fail(None, "unknown command " + command)


if __name__ == "__main__":
    main()
