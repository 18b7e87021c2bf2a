#!/usr/bin/python3
"""What a screen reader sees of the running application, through AT-SPI.

Usage: atspi.py WINDOW COMMAND [ARG...], WINDOW the title of one of the application's
windows ("Quellvista", "Quellvista pop-over"), or ":menu" for its open pop-up menu.
Commands:
  expect NAME [CHECK...]  within 10 s a control NAME (a "*" at the end or the start
                          of NAME matches the rest of the name) shows every CHECK: role=ROLE,
                          value=N, range=MIN..MAX (of the value), description=TEXT, a
                          state (checked, selected, focused, focusable, expandable,
                          expanded, collapsed, enabled, sensitive) or !STATE
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
  reachable [WxH]         once the window is W x H: every control is in sight in it (a
                          wide one: 200 px of it each way), or comes in sight as the
                          window's scroll bars are moved along their length (prints how
                          many needed the bars)
  dump                    prints the window's tree
Exits 1 with the reason (and the tree) when a control or a check is not met.
"""
import os
import subprocess
import sys
import time

import pyatspi

# How the pointer clicks and drags: xdotool, or "DX,DY,WIDTH,HEIGHT,PROGRAM" where a Wayland
# window knows nothing of its place: qv_virtualpointer, the window at DX,DY of a desktop of
# WIDTH x HEIGHT.
POINTER = os.environ.get("QV_POINTER", "")

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
        elif check.startswith("range="):
            low, high = check[6:].split("..")
            try:
                ok = (node.queryValue().minimumValue, node.queryValue().maximumValue) == (float(low), float(high))
            except NotImplementedError:
                ok = False
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


CONTROLS = {"push button", "toggle button", "check box", "radio button", "slider", "combo box", "spin button",
            "text", "entry", "password text", "link", "page tab", "menu item"}


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def in_sight(frame):
    """Whether a node is in sight in the window: wholly inside it, or, for a control larger
    than a narrow page can show (a slider across the page), with 200 pixels of it each way
    inside."""
    wx, wy, ww, wh = extents(frame[0])

    def inside(node):
        x, y, w, h = extents(node)
        shown_w = min(x + w, wx + ww) - max(x, wx)
        shown_h = min(y + h, wy + wh) - max(y, wy)
        return w > 0 and h > 0 and shown_w >= min(w, 200) and shown_h >= min(h, 200)
    return inside


def reachable(frame):
    """Every control of the window is in sight, or comes in sight as the window's scroll bars
    are moved along their length, each position of one bar with each of the others."""
    wx, wy, ww, wh = extents(frame[0])
    inside = in_sight(frame)
    controls = [n for n in nodes(frame) if n.getRoleName() in CONTROLS]
    if not controls:
        fail(frame, "no control in the window")
    left = [n for n in controls if not inside(n)]
    outside = len(left)

    def positions():
        return [extents(n) for n in controls]

    def settle(before, timeout):
        """Waits for the controls to move, then to rest; whether they moved."""
        end = time.monotonic() + timeout
        now = positions()
        while now == before and time.monotonic() < end:
            time.sleep(0.05)
            now = positions()
        if now == before:
            return False
        while True:
            time.sleep(0.1)
            later = positions()
            if later == now:
                return True
            now = later

    def along(bar, f):
        """The point of a bar's track where a thumb centred on it is f of the way along (the
        track lies inside the bar's padding of 2 pixels)."""
        x, y, w, h = extents(bar)
        if w > h:
            return x + 2 + round((w - 4) * f), y + h // 2
        return x + w // 2, y + 2 + round((h - 4) * f)

    def in_window(at):
        return wx <= at[0] < wx + ww and wy <= at[1] < wy + wh

    def xdotool(*args):
        if not POINTER:
            subprocess.run(["xdotool"] + [str(a) for a in args], check=True)
            return
        # A compositor's virtual pointer clicks where xdotool lets go (a scroll bar's thumb
        # goes there as after a drag), from the window's place on the desktop.
        dx, dy, width, height, program = POINTER.split(",", 4)
        moves = [i for i, a in enumerate(args) if a == "mousemove"]
        x, y = args[moves[-1] + 1], args[moves[-1] + 2]
        subprocess.run([program, str(x + int(dx)), str(y + int(dy)), width, height], check=True)

    # The bars from the outermost in (a page's own come after its content in the tree). A bar
    # is moved only where a control lies out of sight its way; clicked at its end, it tells
    # how far it scrolls.
    bars = [n for n in nodes(frame) if n.getRoleName() == "scroll bar" and n.getState().contains(pyatspi.STATE_SHOWING)]
    bars.reverse()
    live = []
    for bar in bars:
        x, y, w, h = extents(bar)
        across = w > h
        beyond = [n for n in left if (lambda e: e[0] < wx or e[0] + e[2] > wx + ww if across
                                      else e[1] < wy or e[1] + e[3] > wy + wh)(extents(n))]
        # Short of the end, where the other bar may lie across it.
        at = along(bar, 1 - 12 / max(w, h))
        if not beyond or not in_window(at):
            continue
        before = positions()
        xdotool("mousemove", at[0], at[1], "click", 1)
        if not settle(before, 5):
            continue
        axis = 0 if across else 1
        shift = max(abs(a[axis] - b[axis]) for a, b in zip(before, positions()))
        view = w if across else h
        live.append({"bar": bar, "view": view, "content": view + shift, "offset": shift})

    def scroll_to(b, offset):
        """Drags the bar's thumb from where it is to where the content shows from offset."""
        if abs(offset - b["offset"]) < 2:
            return
        half = b["view"] / b["content"] / 2
        start = along(b["bar"], b["offset"] / b["content"] + half)
        to = along(b["bar"], offset / b["content"] + half)
        if not in_window(start) or not in_window(to):
            return
        before = positions()
        xdotool("mousemove", start[0], start[1], "mousedown", 1, "mousemove", to[0], to[1], "mouseup", 1)
        settle(before, 5)
        b["offset"] = offset

    # Each bar in steps of half its view, there and back: forth from the start when the bar
    # is at its start, else back from its end.
    def offsets(b):
        scroll = b["content"] - b["view"]
        steps = max(1, -(-scroll * 2 // b["view"]))
        stops = [scroll * k / steps for k in range(int(steps) + 1)]
        return stops if b["offset"] < scroll / 2 else stops[::-1]

    def sweep(at):
        nonlocal left
        if not left:
            return
        if at == len(live):
            left = [n for n in left if not inside(n)]
            return
        for offset in offsets(live[at]):
            if left:
                scroll_to(live[at], offset)
                sweep(at + 1)

    sweep(0)
    if left:
        fail(frame, "out of reach, with %d scroll bar(s) that scroll: %s" % (len(live), "; ".join(
            "%s at %s" % (describe(n), extents(n)) for n in left)))
    print("%d controls, %d reached by the scroll bars" % (len(controls), outside))


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
    elif command == "reachable":
        # Once the application has taken the size the window manager gave its window.
        while args and "%dx%d" % extents(frame[0])[2:] != args[0]:
            if time.monotonic() > end:
                fail(frame, "the window is %dx%d, not %s" % (extents(frame[0])[2:] + (args[0],)))
            time.sleep(0.1)
        reachable(frame)
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
