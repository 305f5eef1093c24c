#!/usr/bin/python3
# Prints Marbleway's accessible tree as AT-SPI gives it to a screen reader
# (role, name, states, actions, one line an object), or, with "press NAME",
# presses the push button of that name through AT-SPI's action interface.
import sys

import pyatspi

KEPT = (pyatspi.STATE_FOCUSED, pyatspi.STATE_SENSITIVE, pyatspi.STATE_SELECTED, pyatspi.STATE_FOCUSABLE)


def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Marbleway":
            return app
    return None


def walk(node, depth=0):
    yield depth, node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def describe(node):
    states = ",".join(pyatspi.stateToString(s) for s in node.getState().getStates() if s in KEPT)
    try:
        action = node.queryAction()
        actions = " actions=" + ",".join(action.getName(i) for i in range(action.nActions))
    except NotImplementedError:
        actions = ""
    return f'[{node.getRoleName()}] "{node.name}" {states}{actions}'


def main():
    app = program()
    if app is None:
        print("Marbleway is not on the accessibility bus")
        return 1
    if len(sys.argv) == 3 and sys.argv[1] == "press":
        for _, node in walk(app):
            if node.getRoleName() == "push button" and node.name == sys.argv[2]:
                node.queryAction().doAction(0)
                return 0
        print("no push button named " + sys.argv[2])
        return 1
    for depth, node in walk(app):
        print("  " * depth + describe(node))
    return 0


sys.exit(main())
