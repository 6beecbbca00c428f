"""Drives the running program through the accessibility interface alone, as
an assistive tool would: reads back what was typed on the keyboard into the
focused 编辑框1, types address lists into it, presses 单次检测, and reads the
fault list and its colour back from 编辑框6.

atspi_single_check.py SILENT_HOST ANSWERING_HOST TYPED_TEXT"""
import sys
import time

import pyatspi

from atspi_dump import find_app


def find(node, role, name):
    try:
        if node.getRoleName() == role and node.name == name:
            return node
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return None
    for child in children:
        hit = find(child, role, name)
        if hit is not None:
            return hit
    return None


def check(app, hosts, want_text, want_colour):
    box1 = find(app, "text", "地址列表")
    box6 = find(app, "text", "故障IP列表")
    button = find(app, "push button", "单次检测")
    box1.queryEditableText().setTextContents("\n".join(hosts))
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press") if "Press" in names else 0)
    text = box6.queryText()
    deadline = time.time() + 10
    while time.time() < deadline:
        got = text.getText(0, -1)
        if got == want_text:
            break
        time.sleep(0.1)
    attributes = text.getAttributes(0)[0]
    print(f"{hosts} -> {got!r} [{attributes}]")
    if got != want_text:
        raise SystemExit(f"编辑框6 shows {got!r}, not {want_text!r}")
    if "fg-color:" + want_colour not in attributes:
        raise SystemExit(f"编辑框6 is not coloured {want_colour}: {attributes}")


def main():
    silent, answering, typed = sys.argv[1], sys.argv[2], sys.argv[3]
    app = find_app("hostwatch", time.time() + 15)
    if app is None:
        raise SystemExit("no accessible application named hostwatch")
    got = find(app, "text", "地址列表").queryText().getText(0, -1)
    if got != typed:
        raise SystemExit(f"keys typed at start reached 编辑框1 as {got!r}, not {typed!r}")
    check(app, [answering, silent, answering], silent, "255,0,0")
    check(app, [answering], "所有主机正常", "0,255,0")
    # Left on screen for the screenshot: a blank entry and a silent host
    # listed twice, in red.
    check(app, [answering, silent, "", answering, silent], "\n".join([silent, "", silent]), "255,0,0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
