"""Prints the accessible tree of the running program: role, name, and for
text fields their relation to a label. Used by the real window test."""
import sys
import time

import pyatspi


def find_app(name, deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def walk(node, depth, out):
    try:
        role = node.getRoleName()
        name = node.name
    except Exception:
        return
    labelled = ""
    try:
        for rel in node.getRelationSet():
            if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                labelled = rel.getTarget(0).name
    except Exception:
        pass
    out.append(f"{depth}\t{role}\t{name}\t{labelled}")
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1, out)


def main():
    app = find_app(sys.argv[1], time.time() + float(sys.argv[2] if len(sys.argv) > 2 else 15))
    if app is None:
        print("no accessible application named", sys.argv[1], file=sys.stderr)
        return 1
    out = []
    walk(app, 0, out)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
