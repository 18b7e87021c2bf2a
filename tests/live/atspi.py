#!/usr/bin/python3
"""What a screen reader sees of the running application, through AT-SPI.

Usage: atspi.py WINDOW COMMAND [ARG...], WINDOW the title of one of the application's
windows ("Quellvista", "Quellvista pop-over"), or ":menu" for its open pop-up menu.
Commands:
  expect NAME [CHECK...]  within 10 s a control NAME (a "*" at the end or the start
                          of NAME matches the rest of the name) shows every CHECK: role=ROLE,
                          value=N, description=TEXT, a state (checked, selected, focused,
                          focusable, expandable, expanded, collapsed, enabled, sensitive)
                          or !STATE
  absent NAME             within 10 s no control NAME is in the window's tree
  focus-follows KEY NAME [KEY NAME...]
                          presses each KEY (xdotool) in turn and within 10 s a focus event
                          comes from its NAME, then the window's one focused control
  tree-event KEY add|remove NAME
                          presses KEY and within 10 s the tree says that the control NAME
                          came into it (add) or left it (remove)
  alert KEY NAME          presses KEY and within 10 s an alert NAME (in any of the
                          application's windows) says that it shows
  press NAME              performs the control's "Press" action
  focused                 prints the name of the focused control
  nothing-hidden          fails while a node within the window's bounds is not visible
  dump                    prints the window's tree
Exits 1 with the reason (and the tree) when a control or a check is not met.
"""
import subprocess
import sys
import time

import pyatspi

STATES = {name: getattr(pyatspi, "STATE_" + name.upper())
          for name in ("checked", "selected", "focused", "focusable", "showing", "visible", "expandable",
                       "expanded", "collapsed", "enabled", "sensitive")}


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Quellvista":
            return app
    return None


def windows(title):
    """The application's windows of that title (several overlays share one)."""
    app = application()
    found = []
    for i in range(app.childCount if app else 0):
        frame = app.getChildAtIndex(i)
        if frame is None:
            continue
        if title == ":menu":
            if frame.getRoleName() in ("popup menu", "menu") and frame.getState().contains(pyatspi.STATE_VISIBLE):
                found.append(frame)
        elif frame.name == title:
            found.append(frame)
    return found


def nodes(node):
    if isinstance(node, list):
        for frame in node:
            yield from nodes(frame)
        return
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
    states = [s for s, v in STATES.items() if node.getState().contains(v) and s != "visible"]
    shown = value(node)
    return "%s %r %s%s%s" % (node.getRoleName(), node.name, states, "" if shown is None else " value=%g" % shown,
                             " description=%r" % node.description if node.description else "")


def unmet(node, checks):
    """The checks the node does not meet."""
    missing = []
    for check in checks:
        if check.startswith("role="):
            ok = node.getRoleName() == check[5:]
        elif check.startswith("value="):
            ok = value(node) == float(check[6:])
        elif check.startswith("description="):
            ok = node.description == check[12:]
        elif check.startswith("!"):
            ok = not node.getState().contains(STATES[check[1:]])
        else:
            ok = node.getState().contains(STATES[check])
        if not ok:
            missing.append(check)
    return missing


def dump(frames):
    def walk(node, depth):
        print("  " * depth + describe(node), file=sys.stderr)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                walk(child, depth + 1)
    for frame in frames:
        walk(frame, 0)


def fail(frame, reason):
    print(reason, file=sys.stderr)
    if frame is not None:
        dump(frame)
    sys.exit(1)


def events_after(steps, *kinds):
    """For each (KEY, wanted) of steps in turn, presses KEY and listens (10 s at most) for
    events of those kinds until wanted(event). Returns the index of the step that heard
    none, else None."""
    from gi.repository import GLib
    at = [0]
    timer = [None]

    def give_up():
        pyatspi.Registry.stop()
        return False

    def press():
        subprocess.run(["xdotool", "key", steps[at[0]][0]], check=True)
        timer[0] = GLib.timeout_add(10000, give_up)
        return False

    def on_event(event):
        try:
            heard = steps[at[0]][1](event)
        except Exception:  # a source that went away meanwhile
            heard = False
        if not heard:
            return
        GLib.source_remove(timer[0])
        at[0] += 1
        if at[0] == len(steps):
            pyatspi.Registry.stop()
        else:
            GLib.timeout_add(100, press)

    pyatspi.Registry.registerEventListener(on_event, *kinds)
    # The application learns of the listener over the bus: the first key comes a moment later.
    GLib.timeout_add(500, press)
    pyatspi.Registry.start()
    return at[0] if at[0] < len(steps) else None


def follow_focus(title, frame, pairs):
    """Presses each KEY of pairs in turn and waits for the focus event of its control NAME,
    which is then the one focused control of the window."""
    missed = []

    def focused(name):
        def wanted(event):
            if event.detail1 != 1 or not matches(event.source, name):
                return False
            others = [describe(n) for f in windows(title) for n in list(nodes(f))[1:]
                      if n.getState().contains(pyatspi.STATE_FOCUSED) and not matches(n, name)]
            if others:
                missed.append("%r has its focus event, but also focused: %s" % (name, "; ".join(others)))
            return True
        return wanted

    steps = [(key, focused(name)) for key, name in zip(pairs[::2], pairs[1::2])]
    unheard = events_after(steps, "object:state-changed:focused", "focus:")
    if unheard is not None:
        fail(frame, "%s brought no focus event from %r" % (pairs[2 * unheard], pairs[2 * unheard + 1]))
    if missed:
        fail(frame, "; ".join(missed))
    last = pairs[-1]
    if not any(n.getState().contains(pyatspi.STATE_FOCUSED) for n in nodes(windows(title)) if matches(n, last)):
        fail(frame, "%r had its focus event but is not focused" % last)


def main():
    title, command, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    end = time.monotonic() + 10
    frame = windows(title)
    while not frame and time.monotonic() < end:
        time.sleep(0.2)
        frame = windows(title)
    if not frame:
        fail(None, "no window %r on the accessibility bus" % title)
    if command == "dump":
        dump(frame)
    elif command == "nothing-hidden":
        # Qt's bridge drops "visible" for a node scrolled out of its window too: only a node
        # within its window's bounds that is not visible is hidden.
        def inside(node, window):
            try:
                a = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                w = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            except NotImplementedError:
                return True
            return a.x < w.x + w.width and w.x < a.x + a.width and a.y < w.y + w.height and w.y < a.y + a.height
        while True:
            hidden = [describe(n) for f in frame for n in nodes(f)
                      if not n.getState().contains(pyatspi.STATE_VISIBLE) and inside(n, f)]
            if not hidden:
                return
            if time.monotonic() > end:
                fail(frame, "hidden in the tree: " + "; ".join(hidden))
            time.sleep(0.2)
    elif command == "absent":
        while True:
            found = [describe(n) for n in nodes(frame) if matches(n, args[0])]
            if not found:
                return
            if time.monotonic() > end:
                fail(frame, "still in the tree: " + "; ".join(found))
            time.sleep(0.2)
            frame = windows(title)
    elif command == "focus-follows":
        follow_focus(title, frame, args)
    elif command == "tree-event":
        # Qt's bridge says that a node left only to those who listen to state changes.
        def wanted(event):
            return event.type == "object:children-changed:" + args[1] and matches(event.any_data, args[2])
        if events_after([(args[0], wanted)], "object:children-changed", "object:state-changed:showing") is not None:
            fail(frame, "%s: the tree did not say that %r %s" % (args[0], args[2],
                                                               "came" if args[1] == "add" else "left"))
    elif command == "alert":
        def wanted(event):
            return event.detail1 == 1 and event.source.getRoleName() == "alert" and matches(event.source, args[1])
        if events_after([(args[0], wanted)], "object:state-changed:showing") is not None:
            fail(frame, "%s: no alert %r told that it shows" % (args[0], args[1]))
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
