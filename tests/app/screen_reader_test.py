#!/usr/bin/python3
"""The real window as a screen reader sees it, over the accessibility bus
(AT-SPI) on a virtual screen: the main window's controls, and the About
box's link and Close pressed through their actions. Run under xvfb-run and
dbus-run-session; the system's Python has the AT-SPI bindings."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

APP = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin"


def wait_for(what, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(0.1)
    return None


def find(node, role, name):
    if node.getRoleName() == role and node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, name)
        if found:
            return found
    return None


def actions(node):
    a = node.queryAction()
    return [a.getName(i) for i in range(a.nActions)]


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


class ScreenReader(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        os.chmod(self.dir.name, 0o700)
        # The accessibility bus and its registry, started by the session bus
        # on this first call, are there before the window looks for them.
        pyatspi.Registry.getDesktop(0).childCount
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   VEXORIN_INSTANCE_DIR=self.dir.name, XDG_CONFIG_HOME=self.dir.name,
                   XDG_DATA_HOME=self.dir.name, VEXORIN_SUGGEST_HOST="127.0.0.1:9",
                   VEXORIN_SEARCH_HOST="127.0.0.1:9")
        self.app = subprocess.Popen([APP], env=env, cwd=self.dir.name,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tearDown(self):
        self.app.kill()
        self.app.wait()
        self.dir.cleanup()

    def test_controls_have_roles_names_and_actions(self):
        def application():
            desktop = pyatspi.Registry.getDesktop(0)
            apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
            return next((a for a in apps if a and a.name == "Vexorin"), None)

        app = wait_for(application, 20)
        self.assertIsNotNone(app, "the window never reached the accessibility bus")
        self.assertTrue(wait_for(lambda: find(app, "table", "Results")))
        for caption in ("Start", "Stop"):
            self.assertIn("Press", actions(find(app, "push button", caption)), caption)

        # The action that opens the modal box answers only when it closes.
        Atspi.set_timeout(1000, 1000)
        try:
            find(app, "menu item", "About...").queryAction().doAction(0)
        except gi.repository.GLib.GError:
            pass
        Atspi.set_timeout(25000, 25000)
        close = wait_for(lambda: find(app, "push button", "Close"))
        self.assertIsNotNone(close)
        self.assertTrue(wait_for(lambda: close.getState().contains(pyatspi.STATE_FOCUSED)))
        link = find(app, "link", "help@vexorin.test")
        self.assertIsNotNone(link, "the address is not a link")
        self.assertIn("Press", actions(link))
        self.assertEqual(link.description, "Opens mailto:help@vexorin.test")

        close.queryAction().doAction(actions(close).index("Press"))
        box = find(app, "dialog", "About...")
        self.assertTrue(wait_for(lambda: not showing(box), 5), "Close did not close the box")


if __name__ == "__main__":
    unittest.main(verbosity=1)
