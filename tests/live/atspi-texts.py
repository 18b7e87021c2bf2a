#!/usr/bin/python3
"""Prints every text a screen reader can reach in the running application, one a line:
the name, description, text and value text of each object of each of its windows (the
main window, the pop-over, an open menu), as "role: text".

Usage: atspi-texts.py [APPLICATION], the application's name on the accessibility bus
(default "Quellvista"). Exits 1 when the application is not on the bus within 10 s.
"""
import sys
import time

import pyatspi


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def texts(node):
    found = [node.name or "", node.description or ""]
    try:
        text = node.queryText()
        found.append(text.getText(0, text.characterCount))
    except NotImplementedError:
        pass
    try:
        found.append(node.queryValue().currentValueText or "")
    except (NotImplementedError, AttributeError):
        pass
    return [t for t in found if t.strip()]


def walk(node, seen):
    if node is None or hash(node) in seen:
        return
    seen.add(hash(node))
    for text in texts(node):
        print("%s: %s" % (node.getRoleName(), " ".join(text.split())))
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), seen)


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else "Quellvista"
    end = time.monotonic() + 10
    app = application(name)
    while app is None and time.monotonic() < end:
        time.sleep(0.2)
        app = application(name)
    if app is None:
        print("no application %r on the accessibility bus" % name, file=sys.stderr)
        sys.exit(1)
    walk(app, set())


if __name__ == "__main__":
    main()
