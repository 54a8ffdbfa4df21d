#!/usr/bin/env python3
"""Other windows open on the screen under a real window manager: the main
window moved to the screen's right edge, History (Ctrl+H) opens wholly on a
1280x800 screen, and comes back where the user left it. Run under xvfb-run;
starts openbox and drives the window with xdotool."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

APP = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin"
SCREEN = (1280, 800)


def wait_for(what, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(0.1)
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.strip()


def window(name):
    found = xdotool("search", "--onlyvisible", "--name", name)
    return found.splitlines()[0] if found else None


def frame(wid):
    """The window's frame on the screen: decorations included."""
    out = subprocess.run(["xwininfo", "-id", wid, "-frame"], capture_output=True,
                         text=True).stdout
    if "Absolute upper-left X" not in out:
        # xwininfo of the client; openbox's frame extents around it.
        out = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True).stdout
    values = {}
    for line in out.splitlines():
        if ":" in line:
            key, _, value = line.strip().partition(":")
            values[key.strip()] = value.strip()
    x, y = int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"])
    return x, y, int(values["Width"]), int(values["Height"])


class WindowPlace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        os.chmod(self.dir.name, 0o700)
        self.wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        self.env = dict(os.environ, QT_QPA_PLATFORM="xcb", VEXORIN_INSTANCE_DIR=self.dir.name,
                        XDG_CONFIG_HOME=self.dir.name, XDG_DATA_HOME=self.dir.name,
                        VEXORIN_SUGGEST_HOST="127.0.0.1:9", VEXORIN_SEARCH_HOST="127.0.0.1:9")
        self.app = None

    def start(self):
        self.app = subprocess.Popen([APP], env=self.env, cwd=self.dir.name,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        main = wait_for(lambda: window("^Vexorin"))
        self.assertIsNotNone(main, "the main window never showed")
        return main

    def open_history(self, main):
        # Pressed again until the window, just shown, takes the key.
        for _ in range(10):
            xdotool("windowactivate", "--sync", main)
            xdotool("key", "--window", main, "ctrl+h")
            history = wait_for(lambda: window("^Research history"), 2)
            if history:
                return history
        return None

    def stop(self):
        self.app.terminate()
        self.app.wait(10)

    def tearDown(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        self.wm.kill()
        self.wm.wait()
        self.dir.cleanup()

    def test_history_opens_on_the_screen_and_keeps_its_place(self):
        main = self.start()
        # The main window at the right edge: no room beside it there.
        _, _, width, _ = frame(main)
        xdotool("windowmove", main, str(SCREEN[0] - width - 10), "40")
        time.sleep(0.5)
        history = self.open_history(main)
        self.assertIsNotNone(history, "History never opened")
        time.sleep(0.5)
        x, y, w, h = frame(history)
        self.assertGreaterEqual(x, 0)
        self.assertGreaterEqual(y, 0)
        self.assertLessEqual(x + w, SCREEN[0], (x, y, w, h))
        self.assertLessEqual(y + h, SCREEN[1], (x, y, w, h))
        # Moved by the user, closed with Escape, and opened again in a new
        # session: where it was left.
        xdotool("windowmove", history, "30", "60")
        time.sleep(0.5)
        left = frame(history)
        xdotool("windowactivate", "--sync", history)
        xdotool("key", "--window", history, "Escape")
        self.assertTrue(wait_for(lambda: window("^Research history") is None, 5))
        self.stop()
        again = self.open_history(self.start())
        self.assertIsNotNone(again, "History never opened again")
        time.sleep(0.5)
        self.assertEqual(frame(again)[:2], left[:2])


if __name__ == "__main__":
    unittest.main(verbosity=1)
